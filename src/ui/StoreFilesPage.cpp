#include "StoreFilesPage.h"

#include "CopyTargetCheck.h"
#include "HoverHelp.h"
#include "PageStyle.h"
#include "TextRuleValidator.h"
#include "run/RunMessages.h"
#include "selection/LastPathMemory.h"
#include "selection/NativePath.h"
#include "selection/Pickers.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

const std::array<const char*, 3> kSaveCaptions = {"Overwrite existing files", "Copy to new folder",
                                                  "Create new protected files"};
const std::array<const char*, 3> kSaveHelp = {
    "All current files will be replaced with their protected versions - We highly recommend you make backups",
    "Files will be copied to this new folder, with their folder structures intact",
    "Protected files will be placed in the same folders with a protected_ suffix"};
const char* const kCopyOthersHelp =
    "The images, style sheets, scripts and other files of each picked folder are copied "
    "into the new folder as well, so that it holds a whole site ready to publish";

} // namespace

StoreFilesPage::StoreFilesPage(selection::DialogService& dialogs, selection::Pickers& pickers,
                               const selection::LastPathMemory& lastPath, QWidget* parent)
    : QWidget(parent), chkBackups(new QCheckBox(QStringLiteral("Make backup of all replaced files"), this)),
      txtSaveDir(new QLineEdit(this)), cmdSelectDirectory(new QPushButton(QStringLiteral("..."), this)),
      lblSaveDirProblem(new QLabel(this)),
      chkCopyOthers(new QCheckBox(QStringLiteral("Copy the other files too"), this)),
      chkCopyrightNotice(new QCheckBox(QStringLiteral("Insert notice at the top of source files"), this)),
      lblWarning3(new QLabel(QStringLiteral("--> or --!> not allowed"), this)),
      txtCopyrightNotice(new QLineEdit(QString::fromStdU16String(engine::kDefaultNoticeText), this)),
      lblOutputInfo(new QLabel(this)), framBackupDir(new QWidget(this)),
      lblBackupDir(new QLabel(QStringLiteral("Keep the originals in"), framBackupDir)),
      txtBackupDir(new QLineEdit(framBackupDir)),
      cmdSelectBackupDir(new QPushButton(QStringLiteral("..."), framBackupDir)), m_pickers(pickers),
      m_lastPath(lastPath) {
    chkBackups->setObjectName(QStringLiteral("chkBackups"));
    txtSaveDir->setObjectName(QStringLiteral("txtSaveDir"));
    cmdSelectDirectory->setObjectName(QStringLiteral("cmdSelectDirectory"));
    lblSaveDirProblem->setObjectName(QStringLiteral("lblSaveDirProblem"));
    lblSaveDirProblem->setWordWrap(true);
    pagestyle::markAsWarning(lblSaveDirProblem);
    lblSaveDirProblem->hide();
    chkCopyOthers->setObjectName(QStringLiteral("chkCopyOthers"));
    chkCopyrightNotice->setObjectName(QStringLiteral("chkCopyrightNotice"));
    lblWarning3->setObjectName(QStringLiteral("lblWarning3"));
    pagestyle::markAsWarning(lblWarning3);
    lblWarning3->hide();
    txtCopyrightNotice->setObjectName(QStringLiteral("txtCopyrightNotice"));
    TextRuleValidator::install(txtCopyrightNotice, lblWarning3, dialogs, TextRuleValidator::isNoticeSafe);
    lblOutputInfo->setObjectName(QStringLiteral("lblOutputInfo"));
    lblOutputInfo->setWordWrap(true);
    framBackupDir->setObjectName(QStringLiteral("framBackupDir"));
    lblBackupDir->setBuddy(txtBackupDir);
    txtBackupDir->setObjectName(QStringLiteral("txtBackupDir"));
    txtBackupDir->setPlaceholderText(QStringLiteral("FOLDER.originals beside each picked folder"));
    txtBackupDir->setToolTip(QStringLiteral("Encrypted pages are published: their originals are kept outside the "
                                            "picked folders, where Restore Originals finds them"));
    cmdSelectBackupDir->setObjectName(QStringLiteral("cmdSelectBackupDir"));
    framBackupDir->hide();

    auto* help = new HoverHelp(lblOutputInfo, this);
    help->add(chkCopyOthers, QString::fromLatin1(kCopyOthersHelp));
    for (int i = 0; i < 3; ++i) {
        optSave[i] = new QRadioButton(QString::fromLatin1(kSaveCaptions[i]), this);
        optSave[i]->setObjectName(QStringLiteral("optSave(%1)").arg(i));
        help->add(optSave[i], QString::fromLatin1(kSaveHelp[i]));
        connect(optSave[i], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                optSave_Click(i);
        });
    }
    connect(chkCopyrightNotice, &QCheckBox::toggled, this, &StoreFilesPage::chkCopyrightNotice_Click);
    connect(cmdSelectDirectory, &QPushButton::clicked, this, &StoreFilesPage::cmdSelectDirectory_Click);
    connect(cmdSelectBackupDir, &QPushButton::clicked, this, &StoreFilesPage::cmdSelectBackupDir_Click);
    connect(chkBackups, &QCheckBox::toggled, this, &StoreFilesPage::showBackupDir);
    connect(txtSaveDir, &QLineEdit::textChanged, this, &StoreFilesPage::updateTargetMark);

    chkBackups->setChecked(true);
    chkCopyOthers->setChecked(true);
    txtCopyrightNotice->setEnabled(false);
    optSave[0]->setChecked(true);
    resetOutputInfo();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        pagestyle::heading(QStringLiteral("Select where you would like the protected files to be placed."), this));
    layout->addWidget(storageGroup());
    layout->addSpacing(8);
    layout->addWidget(
        pagestyle::subheading(QStringLiteral("Would you like a copyright notice placed in your files?"), this));
    layout->addWidget(noticeGroup());
    layout->addSpacing(8);
    layout->addWidget(informationFrame());
    layout->addStretch();
}

QWidget* StoreFilesPage::storageGroup() {
    auto* group = new QWidget(this);
    auto* folder = new QHBoxLayout;
    folder->setContentsMargins(24, 0, 0, 0);
    folder->addWidget(txtSaveDir, 1);
    folder->addWidget(cmdSelectDirectory);
    auto* backups = new QHBoxLayout;
    backups->setContentsMargins(24, 0, 0, 0);
    backups->addWidget(chkBackups);
    auto* backupDir = new QHBoxLayout(framBackupDir);
    backupDir->setContentsMargins(48, 0, 0, 0);
    backupDir->addWidget(lblBackupDir);
    backupDir->addWidget(txtBackupDir, 1);
    backupDir->addWidget(cmdSelectBackupDir);
    auto* problem = new QHBoxLayout;
    problem->setContentsMargins(24, 0, 0, 0);
    problem->addWidget(lblSaveDirProblem);
    auto* others = new QHBoxLayout;
    others->setContentsMargins(24, 0, 0, 0);
    others->addWidget(chkCopyOthers);

    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(optSave[0]);
    layout->addLayout(backups);
    layout->addWidget(framBackupDir);
    layout->addWidget(optSave[1]);
    layout->addLayout(folder);
    layout->addLayout(problem);
    layout->addLayout(others);
    layout->addWidget(optSave[2]);
    return group;
}

QWidget* StoreFilesPage::noticeGroup() {
    auto* group = new QWidget(this);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chkCopyrightNotice);
    layout->addWidget(lblWarning3); // directly above the box it belongs to
    layout->addWidget(txtCopyrightNotice);
    return group;
}

QWidget* StoreFilesPage::informationFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Information"), this);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(lblOutputInfo);
    lblOutputInfo->setMinimumHeight(lblOutputInfo->fontMetrics().lineSpacing() * 3);
    lblOutputInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return frame;
}

void StoreFilesPage::fill(engine::ProtectionOptions& options) const {
    for (int i = 0; i < 3; ++i) {
        if (optSave[i]->isChecked())
            options.storageMode = static_cast<engine::StorageMode>(i);
    }
    options.makeBackups = chkBackups->isChecked();
    options.backupFolder = selection::toNativePath(txtBackupDir->text());
    options.targetFolder = selection::toNativePath(txtSaveDir->text());
    options.copyOtherFiles = chkCopyOthers->isChecked();
    options.insertNotice = chkCopyrightNotice->isChecked();
    options.noticeText = txtCopyrightNotice->text().toStdU16String();
}

void StoreFilesPage::resetOutputInfo() {
    // The overwrite text under a kept "Copy to new folder" would warn that every file is to be replaced.
    for (int i = 0; i < 3; ++i) {
        if (optSave[i]->isChecked())
            lblOutputInfo->setText(QString::fromLatin1(kSaveHelp[i]));
    }
}

void StoreFilesPage::optSave_Click(int index) {
    txtSaveDir->setEnabled(index == 1);
    cmdSelectDirectory->setEnabled(index == 1);
    chkCopyOthers->setEnabled(index == 1);
    chkBackups->setEnabled(index == 0);
    showBackupDir();
    updateTargetMark();
}

void StoreFilesPage::setEncrypting(bool encrypting) {
    m_encrypting = encrypting;
    showBackupDir();
}

void StoreFilesPage::showBackupDir() {
    framBackupDir->setVisible(m_encrypting && optSave[0]->isChecked());
    framBackupDir->setEnabled(chkBackups->isChecked());
}

void StoreFilesPage::cmdSelectBackupDir_Click() {
    const QString folder = m_pickers.BrowseForFolder(QStringLiteral("Please select where to keep the originals "),
                                                     m_lastPath.ReadLastPath(), nullptr);
    if (!folder.isEmpty())
        txtBackupDir->setText(folder);
}

void StoreFilesPage::setPicks(std::vector<run::SelectionEntry> picks) {
    m_picks = std::move(picks);
    showTargetMark();
}

QString StoreFilesPage::problem() const {
    return optSave[1]->isChecked() ? copyTargetProblem(txtSaveDir->text(), m_picks) : QString();
}

QString StoreFilesPage::nextReason() const {
    if (problem().isEmpty())
        return {};
    return txtSaveDir->text().trimmed().isEmpty() ? QString::fromUtf8(run::messages::kChooseTargetFolder)
                                                  : QStringLiteral("Please choose another folder to copy to");
}

void StoreFilesPage::updateTargetMark() {
    showTargetMark();
    Q_EMIT problemChanged();
}

void StoreFilesPage::showTargetMark() {
    const QString text = problem();
    lblSaveDirProblem->setText(text);
    lblSaveDirProblem->setVisible(!text.isEmpty());
}

void StoreFilesPage::chkCopyrightNotice_Click() {
    txtCopyrightNotice->setEnabled(chkCopyrightNotice->isChecked());
}

void StoreFilesPage::cmdSelectDirectory_Click() {
    // Never inside a pick: a copy there would be refused.
    const QString start = copyTargetStart(txtSaveDir->text(), m_picks, m_lastPath.ReadLastPath());
    const QString folder = m_pickers.BrowseForFolder(QStringLiteral("Please select where to save to "), start, nullptr);
    if (!folder.isEmpty())
        txtSaveDir->setText(folder);
}

} // namespace quillora::ui
