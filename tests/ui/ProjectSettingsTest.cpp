#include "ui/ProjectSettings.h"

#include "WindowFixture.h"
#include "project/ProjectFile.h"
#include "ui/EncryptionPage.h"
#include "ui/ScriptsPage.h"
#include "ui/StoreFilesPage.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

using namespace quillora;
using quillora::testing::WindowFixture;

namespace {

QByteArray page(const char* word) {
    return QByteArray("<html><head><title>t</title></head><body><p>") + word +
           "</p><a href=\"mailto:me@example.com\">mail</a></body></html>";
}

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Every file below a folder with its bytes (the manifest left out).
QMap<QString, QByteArray> treeOf(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QStringLiteral(".quillora-manifest")))
            files.insert(QDir(folder).relativeFilePath(path), read(path));
    }
    return files;
}

constexpr const char* kProject = R"toml(notice = "(c) Example"
exclude = ["drafts/"]

[output]
mode = "copy"
target = "../public"

[pages]
hide = "email-links"
scripts = ["no-select", "no-right-click"]
warning = "No!"

[[rule]]
paths = ["members/"]
hide = "page"

[[rule]]
paths = ["index.html"]
leave-alone = true
)toml";

class ProjectSettingsTest : public WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        write(site("a.html"), page("alpha"));
        write(site("members/m.html"), page("members"));
        write(site("index.html"), page("home"));
        write(site("drafts/d.html"), page("draft"));
        write(site("style.css"), "body{}");
        write(site("quillora.toml"), kProject);
    }
    QString site(const QString& relative = {}) const {
        return relative.isEmpty() ? work.filePath(QStringLiteral("site"))
                                  : work.filePath(QStringLiteral("site/") + relative);
    }
    bool openSettings(const QString& file) {
        dialogs.fileResults.enqueue({file, 0});
        window.actOpenSettings->trigger();
        return window.projectSettings().loaded();
    }

    QTemporaryDir work;
};

TEST_F(ProjectSettingsTest, OpenSettingsShowsTheFilesChoicesAndWhatThePagesCannot) {
    ASSERT_TRUE(openSettings(site(QStringLiteral("quillora.toml"))));
    EXPECT_TRUE(window.storeFilesPage->optSave[1]->isChecked());
    EXPECT_EQ(window.storeFilesPage->txtSaveDir->text(), work.filePath(QStringLiteral("public")));
    EXPECT_TRUE(window.storeFilesPage->chkCopyrightNotice->isChecked());
    EXPECT_EQ(window.storeFilesPage->txtCopyrightNotice->text(), QStringLiteral("(c) Example"));
    EXPECT_TRUE(window.encryptionPage->optProtect[0]->isChecked());
    EXPECT_TRUE(window.scriptsPage->chkScript[engine::kScriptTextSelection]->isChecked());
    EXPECT_TRUE(window.scriptsPage->chkRightMouse->isChecked());
    EXPECT_EQ(window.scriptsPage->txtRightClickWarning->text(), QStringLiteral("No!"));
    EXPECT_FALSE(window.lblProject->isHidden());
    EXPECT_EQ(window.lblProject->text(),
              QStringLiteral("Settings of %1\nKept as %2 says (not on these pages):\nLeft out: drafts/\n"
                             "Rule 1 (line 13), members/: hide page\nRule 2 (line 17), index.html: left as they are")
                  .arg(QDir::toNativeSeparators(site(QStringLiteral("quillora.toml"))),
                       site(QStringLiteral("quillora.toml"))));
}

TEST_F(ProjectSettingsTest, ABadFileIsNamedWithItsLineAndChangesNothing) {
    write(site(QStringLiteral("bad.toml")), "[pages]\nhide = \"all\"\n");
    EXPECT_FALSE(openSettings(site(QStringLiteral("bad.toml"))));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              site(QStringLiteral("bad.toml")) + QStringLiteral(":2: hide = \"all\" is not a hide mode: write "
                                                                "\"email-links\", \"links\", \"body\", \"page\" or "
                                                                "\"none\""));
    EXPECT_TRUE(window.storeFilesPage->optSave[0]->isChecked()) << "the start value";
    EXPECT_TRUE(window.lblProject->isHidden());
}

// The same file, the same outputs: the window's run and quillora-cli's.
TEST_F(ProjectSettingsTest, TheWindowAndTheCommandLineWriteTheSameSite) {
    ASSERT_TRUE(openSettings(site(QStringLiteral("quillora.toml"))));
    pickFolder(site());
    ASSERT_TRUE(protect());
    const auto fromWindow = treeOf(work.filePath(QStringLiteral("public")));
    EXPECT_EQ(fromWindow.keys(), (QStringList{QStringLiteral("a.html"), QStringLiteral("index.html"),
                                              QStringLiteral("members/m.html"), QStringLiteral("style.css")}));
    EXPECT_EQ(fromWindow.value(QStringLiteral("index.html")), page("home")) << "left alone";
    EXPECT_FALSE(fromWindow.value(QStringLiteral("a.html")).contains("me@example.com"));
    ASSERT_TRUE(QDir(work.filePath(QStringLiteral("public"))).removeRecursively());

    QProcess cli;
    cli.setWorkingDirectory(work.path());
    cli.start(QStringLiteral(QUILLORA_CLI_PATH), {QStringLiteral("-q"), QStringLiteral("site")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(treeOf(work.filePath(QStringLiteral("public"))), fromWindow);
}

TEST_F(ProjectSettingsTest, SaveSettingsKeepsTheRulesItCannotShow) {
    ASSERT_TRUE(openSettings(site(QStringLiteral("quillora.toml"))));
    window.encryptionPage->optProtect[3]->setChecked(true);
    window.scriptsPage->chkScript[engine::kScriptPrinting]->setChecked(true);
    const QString saved = work.filePath(QStringLiteral("site/saved.toml"));
    dialogs.fileResults.enqueue({saved, 0});
    window.actSaveSettings->trigger();
    project::Project read;
    std::string error;
    ASSERT_TRUE(project::ProjectFile::read(saved.toStdString(), read, error)) << error;
    EXPECT_EQ(read.pages.hide, engine::EncryptionMode::WholePage);
    EXPECT_TRUE((*read.pages.scripts)[engine::kScriptPrinting]);
    EXPECT_EQ(read.target, "../public") << "relative to the file, as it was";
    EXPECT_EQ(read.exclude, (std::vector<std::string>{"drafts/"}));
    ASSERT_EQ(read.rules.size(), 2u);
    EXPECT_EQ(read.rules[0].paths, (std::vector<std::string>{"members/"}));
    EXPECT_TRUE(read.rules[1].leaveAlone);
    EXPECT_EQ(window.projectSettings().project()->file, saved.toStdString()) << "the saved file is the one loaded";
}

TEST_F(ProjectSettingsTest, AProjectFileInAPickedFolderIsOfferedOnce) {
    dialogs.answers.enqueue(QMessageBox::No);
    pickFolder(site());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("%1 holds a project file.\n\nUse its settings?")
                                            .arg(QDir::toNativeSeparators(site(QStringLiteral("quillora.toml")))));
    EXPECT_FALSE(window.projectSettings().loaded());
    pickFolder(site(QStringLiteral("members")));
    EXPECT_EQ(dialogs.messages.size(), 1) << "not asked again";

    quillora::testing::FakeDialogService yes;
    ui::frmMain other{program.path(), yes, opener};
    yes.answers.enqueue(QMessageBox::Yes);
    other.pickFilesPage->addDroppedPaths({site()});
    EXPECT_TRUE(other.projectSettings().loaded());
    EXPECT_TRUE(other.storeFilesPage->optSave[1]->isChecked());
}

TEST_F(ProjectSettingsTest, TheLastChoicesAreKeptBetweenSessions) {
    const QString file = work.filePath(QStringLiteral("memory.ini"));
    window.rememberChoices(std::make_unique<QSettings>(file, QSettings::IniFormat));
    window.storeFilesPage->optSave[2]->setChecked(true);
    window.encryptionPage->optProtect[1]->setChecked(true);
    window.scriptsPage->chkScript[engine::kScriptDragDrop]->setChecked(true);
    window.scriptsPage->chkScript[engine::kScriptShortcuts]->setChecked(true);
    window.scriptsPage->chkScript[engine::kScriptCopyAttribution]->setChecked(true);
    window.scriptsPage->txtCopyAttribution->setText(QStringLiteral("Lu sur"));
    window.scriptsPage->chkStrictCsp->setChecked(true);
    window.storeFilesPage->chkCopyrightNotice->setChecked(true);
    window.storeFilesPage->txtCopyrightNotice->setText(QStringLiteral("(c) Kept"));
    window.encryptionPage->chkPasswordScript->setChecked(true);
    window.encryptionPage->txtPassword->setText(QStringLiteral("never kept"));
    dialogs.answers.enqueue(QMessageBox::Yes);
    ASSERT_TRUE(window.close());

    quillora::testing::FakeDialogService later;
    ui::frmMain next{program.path(), later, opener};
    next.rememberChoices(std::make_unique<QSettings>(file, QSettings::IniFormat));
    EXPECT_TRUE(next.storeFilesPage->optSave[2]->isChecked());
    EXPECT_TRUE(next.encryptionPage->optProtect[1]->isChecked());
    EXPECT_TRUE(next.scriptsPage->chkScript[engine::kScriptDragDrop]->isChecked());
    EXPECT_TRUE(next.scriptsPage->chkScript[engine::kScriptShortcuts]->isChecked());
    EXPECT_TRUE(next.scriptsPage->chkScript[engine::kScriptCopyAttribution]->isChecked());
    EXPECT_EQ(next.scriptsPage->txtCopyAttribution->text(), QStringLiteral("Lu sur"));
    EXPECT_TRUE(next.scriptsPage->txtCopyAttribution->isEnabledTo(next.scriptsPage));
    EXPECT_TRUE(next.scriptsPage->chkStrictCsp->isChecked());
    EXPECT_EQ(next.storeFilesPage->txtCopyrightNotice->text(), QStringLiteral("(c) Kept"));
    EXPECT_TRUE(next.encryptionPage->txtPassword->text().isEmpty());
    EXPECT_FALSE(read(file).contains("never kept")) << "a password is never kept";

    quillora::testing::FakeDialogService fresh;
    ui::frmMain without{program.path(), fresh, opener};
    EXPECT_TRUE(without.storeFilesPage->optSave[0]->isChecked()) << "no memory asked for: the start values";
}

} // namespace
