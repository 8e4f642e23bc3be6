#include "ProjectSettings.h"

#include "EncryptionPage.h"
#include "ScriptsPage.h"
#include "StoreFilesPage.h"
#include "frmMain.h"
#include "selection/NativePath.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>

namespace quillora::ui {

namespace {

QString fromUtf16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

int checkedIndex(const auto& options) {
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i]->isChecked())
            return static_cast<int>(i);
    }
    return -1;
}

void showOutput(const project::Project& project, StoreFilesPage& page) {
    const int mode = static_cast<int>(project.mode.value_or(engine::StorageMode::Overwrite));
    page.optSave[static_cast<std::size_t>(mode)]->setChecked(true);
    page.txtSaveDir->setText(project.target ? QString::fromStdString(project::resolvePath(project, *project.target))
                                            : QString());
    page.chkBackups->setChecked(project.backups.value_or(true));
    page.chkCopyOthers->setChecked(project.otherFiles.value_or(true));
    page.chkCopyrightNotice->setChecked(project.notice.has_value());
    if (project.notice)
        page.txtCopyrightNotice->setText(fromUtf16(*project.notice));
}

void showPages(const project::Project& project, EncryptionPage& encryption, ScriptsPage& scripts) {
    const auto& pages = project.pages;
    const auto hide = pages.hide.value_or(engine::EncryptionMode::BodyOnly);
    if (hide != engine::EncryptionMode::None)
        encryption.optProtect[static_cast<std::size_t>(hide)]->setChecked(true);
    const bool encrypt = pages.encrypt.value_or(false);
    encryption.chkPasswordScript->setChecked(encrypt);
    encryption.chkEncrypt->setChecked(encrypt);
    encryption.spnRememberDays->setValue(project.rememberDays.value_or(0));
    encryption.chkUnlockTitle->setChecked(project.unlockTitle.has_value());
    if (project.unlockTitle)
        encryption.txtUnlockTitle->setText(fromUtf16(*project.unlockTitle));
    const auto chosen = pages.scripts.value_or(std::array<bool, engine::kScriptCount>{});
    for (std::size_t i = 0; i < engine::kScriptCount; ++i) {
        if (scripts.chkScript[i] != nullptr)
            scripts.chkScript[i]->setChecked(chosen[i]);
    }
    scripts.chkStrictCsp->setChecked(project.strictCsp.value_or(false));
    scripts.chkRightMouse->setChecked(pages.warning.has_value());
    if (pages.warning)
        scripts.txtRightClickWarning->setText(fromUtf16(*pages.warning));
    if (pages.attribution)
        scripts.txtCopyAttribution->setText(fromUtf16(*pages.attribution));
}

std::string listOf(const std::vector<std::string>& patterns) {
    std::string text;
    for (const auto& pattern : patterns) {
        if (!text.empty())
            text.append(", ");
        text.append(pattern);
    }
    return text;
}

std::string choicesOf(const project::ProjectRule& rule) {
    if (rule.leaveAlone)
        return "left as they are";
    std::string text;
    const auto add = [&text](std::string_view part) {
        if (!text.empty())
            text.append(", ");
        text.append(part);
    };
    if (rule.hide)
        add(std::string("hide ").append(project::hideNames()[static_cast<std::size_t>(*rule.hide)]));
    if (rule.scripts) {
        std::string names;
        for (std::size_t i = 0; i < engine::kScriptCount; ++i) {
            if (!(*rule.scripts)[i] || project::scriptNames()[i].empty())
                continue;
            if (!names.empty())
                names.append(" ");
            names.append(project::scriptNames()[i]);
        }
        add(std::string("scripts ").append(names.empty() ? std::string("none") : names));
    }
    if (rule.encrypt)
        add(*rule.encrypt ? "encrypted" : "not encrypted");
    if (rule.level)
        add(std::string("key level ").append(*rule.level));
    return text.empty() ? "as [pages]" : text;
}

} // namespace

void ProjectSettings::show(const project::Project& project, frmMain& window) {
    showOutput(project, *window.storeFilesPage);
    showPages(project, *window.encryptionPage, *window.scriptsPage);
    window.storeFilesPage->resetOutputInfo();
}

void ProjectSettings::load(const project::Project& project, frmMain& window) {
    show(project, window);
    m_project = project;
    m_hideShown = checkedIndex(window.encryptionPage->optProtect);
}

project::Project ProjectSettings::collect(const frmMain& window, const std::string& file) const {
    project::Project made = m_project.value_or(project::Project{});
    std::error_code error;
    const auto root = std::filesystem::absolute(file, error).lexically_normal().parent_path();
    made.file = file;
    made.root = root.string();
    const StoreFilesPage& store = *window.storeFilesPage;
    const auto mode = static_cast<engine::StorageMode>(checkedIndex(store.optSave));
    made.mode = mode;
    made.target.reset();
    made.backups.reset();
    made.otherFiles.reset();
    if (mode == engine::StorageMode::CopyToFolder) {
        // Kept relative to the project's folder where it lies below it, so that the site can move.
        const std::filesystem::path target = selection::toNativePath(store.txtSaveDir->text());
        const auto relative = target.lexically_relative(root);
        made.target = target.is_absolute() && !relative.empty() ? relative.string() : target.string();
        made.otherFiles = store.chkCopyOthers->isChecked();
    } else if (mode == engine::StorageMode::Overwrite) {
        made.backups = store.chkBackups->isChecked();
    }
    made.notice.reset();
    if (store.chkCopyrightNotice->isChecked())
        made.notice = store.txtCopyrightNotice->text().toStdU16String();

    const EncryptionPage& encryption = *window.encryptionPage;
    const int hide = checkedIndex(encryption.optProtect);
    // A file's "none" is no option button: it stays as long as the button shown for it is not changed.
    if (!(m_project && made.pages.hide == engine::EncryptionMode::None && hide == m_hideShown))
        made.pages.hide = static_cast<engine::EncryptionMode>(hide);
    const bool encrypt = encryption.chkPasswordScript->isChecked() && encryption.chkEncrypt->isChecked();
    if (encrypt || made.pages.encrypt) {
        made.pages.encrypt = encrypt;
        made.pages.level.reset();
    }
    made.rememberDays = encrypt && encryption.spnRememberDays->value() > 0
                            ? std::optional(encryption.spnRememberDays->value())
                            : std::nullopt;
    made.unlockTitle.reset();
    if (encrypt && encryption.chkUnlockTitle->isChecked())
        made.unlockTitle = encryption.txtUnlockTitle->text().toStdU16String();
    const ScriptsPage& scripts = *window.scriptsPage;
    std::array<bool, engine::kScriptCount> chosen{};
    for (std::size_t i = 0; i < engine::kScriptCount; ++i)
        chosen[i] = scripts.chkScript[i] != nullptr && scripts.chkScript[i]->isChecked();
    made.pages.scripts = chosen;
    made.pages.warning.reset();
    if (chosen[engine::kScriptRightClick] && scripts.chkRightMouse->isChecked())
        made.pages.warning = scripts.txtRightClickWarning->text().toStdU16String();
    made.pages.attribution.reset();
    if (chosen[engine::kScriptCopyAttribution])
        made.pages.attribution = scripts.txtCopyAttribution->text().toStdU16String();
    made.strictCsp.reset();
    if (scripts.chkStrictCsp->isChecked())
        made.strictCsp = true;
    return made;
}

project::Overrides ProjectSettings::passwords(const frmMain& window) {
    project::Overrides given;
    const EncryptionPage& encryption = *window.encryptionPage;
    if (!encryption.chkPasswordScript->isChecked())
        return given;
    const std::u16string typed = encryption.txtPassword->text().toStdU16String();
    if (encryption.chkEncrypt->isChecked()) {
        if (!typed.empty())
            given.password = typed; // else the file's source, or QUILLORA_PASSWORD
        if (!encryption.level().empty())
            given.level = encryption.level(); // over the rules', as --level
    } else {
        given.promptPassword = typed;
    }
    // Where an encrypted run keeps the originals is the window's choice, not the file's.
    const QString backupFolder = window.storeFilesPage->txtBackupDir->text();
    if (!backupFolder.trimmed().isEmpty())
        given.backupFolder = selection::toNativePath(backupFolder);
    return given;
}

QString ProjectSettings::describeBeyond() const {
    if (!m_project || !m_project->hasRulesBeyondOneSet())
        return {};
    const project::Project& project = *m_project;
    std::string text;
    if (!project.exclude.empty())
        text += "\nLeft out: " + listOf(project.exclude);
    if (project.pages.hide == engine::EncryptionMode::None)
        text += "\nEvery page: hide none (scripts, notice or encryption alone)";
    if (project.pages.level)
        text += "\nEvery page: key level " + *project.pages.level;
    if (!project.password.file.empty())
        text += "\nPassword: the first line of " + project.password.file;
    if (!project.password.variable.empty())
        text += "\nPassword: the variable " + project.password.variable;
    for (std::size_t i = 0; i < project.rules.size(); ++i) {
        const auto& rule = project.rules[i];
        text += "\nRule " + std::to_string(i + 1) + " (line " + std::to_string(rule.line) + "), " + listOf(rule.paths) +
                ": " + choicesOf(rule);
    }
    return QStringLiteral("Kept as %1 says (not on these pages):").arg(QString::fromStdString(project.file)) +
           QString::fromStdString(text);
}

} // namespace quillora::ui
