#include "PickFilesPage.h"

#include "PageStyle.h"
#include "disk/Paths.h"
#include "run/FileHelpers.h"
#include "run/SiteFileRules.h"
#include "selection/DialogService.h"
#include "selection/LastPathMemory.h"
#include "selection/NativePath.h"
#include "selection/Pickers.h"
#include "selection/SelectionTree.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    pushButton->setObjectName(name);
    pushButton->setAutoDefault(true);
    return pushButton;
}

QString folderPart(const QString& path) {
    return selection::fromNativePath(disk::getFilePathOnly(selection::toNativePath(path)));
}

// The run's own rule, so that a dropped page is one the run would find in a folder.
bool isPageFile(const QFileInfo& info) {
    return info.isFile() && run::IsPageFileName(selection::toNativePath(info.fileName()));
}

} // namespace

PickFilesPage::PickFilesPage(selection::DialogService& dialogs, selection::Pickers& pickers,
                             const selection::LastPathMemory& lastPath, QWidget* parent)
    : QWidget(parent), treeFolders(new selection::SelectionTree(dialogs, this)),
      cmdAddFile(button(QStringLiteral("cmdAddFile"), QStringLiteral("&Add File"), this)),
      cmdAddFolder(button(QStringLiteral("cmdAddFolder"), QStringLiteral("&Add Folder"), this)),
      cmdRemoveFolder(button(QStringLiteral("cmdRemoveFolder"), QStringLiteral("&Remove"), this)), m_dialogs(dialogs),
      m_pickers(pickers), m_lastPath(lastPath) {
    cmdRemoveFolder->setEnabled(false);
    connect(cmdAddFile, &QPushButton::clicked, this, &PickFilesPage::cmdAddFile_Click);
    connect(cmdAddFolder, &QPushButton::clicked, this, &PickFilesPage::cmdAddFolder_Click);
    connect(cmdRemoveFolder, &QPushButton::clicked, this, &PickFilesPage::cmdRemoveFolder_Click);
    connect(treeFolders, &QTreeWidget::itemSelectionChanged, this, &PickFilesPage::treeFolders_Click);
    connect(treeFolders, &selection::SelectionTree::pathsDropped, this, &PickFilesPage::addDroppedPaths);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAddFile);
    buttons->addWidget(cmdAddFolder);
    buttons->addStretch();
    buttons->addWidget(cmdRemoveFolder);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pagestyle::heading(QStringLiteral("Add files or folders..."), this));
    layout->addWidget(pagestyle::bodyText(QStringLiteral("Specify the files and folders you wish to protect."), this));
    layout->addSpacing(8);
    layout->addWidget(treeFolders, 1);
    layout->addLayout(buttons);
}

void PickFilesPage::clearSelection() {
    treeFolders->clearNodes();
    cmdRemoveFolder->setEnabled(false);
}

void PickFilesPage::cmdAddFile_Click() {
    const QString file =
        m_pickers.ShowFileDialog(window(), QStringLiteral("HTML Files (*.html;*.htm)|*.html;*.htm"), QString(), 0,
                                 QStringLiteral("Select A File To Protect"), QString(), QString(), 0);
    // A name typed into the dialog may be any file's; only pages are rewritten.
    const bool page = run::IsPickedPageName(selection::toNativePath(QFileInfo(file).fileName()));
    if (!file.isEmpty() && page)
        treeFolders->AddFileNode(file, treeFolders->rootNode());
    if (!file.isEmpty() && !page)
        refuseNonPage(file);
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::refuseNonPage(const QString& file) {
    const QString text = QStringLiteral("%1 is not a page: only .htm and .html files can be protected.")
                             .arg(QDir::toNativeSeparators(file));
    m_dialogs.showMessage({text, window()->windowTitle(), QMessageBox::Information, QMessageBox::Ok});
}

void PickFilesPage::cmdAddFolder_Click() {
    const QString folder = m_pickers.BrowseForFolder(QStringLiteral("Please select the folder to add "),
                                                     m_lastPath.ReadLastPath(), nullptr);
    if (!folder.isEmpty())
        addFolder(folder);
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::cmdRemoveFolder_Click() {
    const QList<QTreeWidgetItem*> selected = treeFolders->selectedItems();
    if (!selected.isEmpty() && treeFolders->isEntry(selected.constFirst()))
        delete selected.constFirst();
    treeFolders->clearSelection();
    cmdRemoveFolder->setEnabled(false);
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::treeFolders_Click() {
    cmdRemoveFolder->setEnabled(false);
    const QList<QTreeWidgetItem*> selected = treeFolders->selectedItems();
    if (selected.isEmpty() || !treeFolders->isEntry(selected.constFirst()))
        return;
    cmdRemoveFolder->setEnabled(true);
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::addDroppedPaths(const QStringList& paths) {
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString cleaned = QDir::cleanPath(path);
        if (info.isDir()) {
            addFolder(cleaned);
        } else if (isPageFile(info)) {
            treeFolders->AddFileNode(cleaned, treeFolders->rootNode());
            m_lastPath.remember(folderPart(cleaned));
        }
    }
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::addFolder(const QString& folder) {
    treeFolders->AddFolderNode(folder, treeFolders->rootNode());
    // The chosen folder is remembered even when the tree refused it as a duplicate.
    m_lastPath.remember(folder);
}

} // namespace quillora::ui
