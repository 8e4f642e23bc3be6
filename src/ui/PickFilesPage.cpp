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
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillora::ui {

namespace {

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    pushButton->setObjectName(name);
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
      cmdRemoveFolder(button(QStringLiteral("cmdRemoveFolder"), QStringLiteral("&Remove"), this)),
      cmdRestoreFolder(
          button(QStringLiteral("cmdRestoreFolder"), QStringLiteral("Restore originals &in a folder\u2026"), this)),
      m_dialogs(dialogs), m_pickers(pickers), m_lastPath(lastPath) {
    cmdRemoveFolder->setEnabled(false);
    cmdRestoreFolder->setToolTip(QStringLiteral("Put back the originals of the protected pages below a folder from "
                                                "their backups"));
    treeFolders->setSelectionMode(QAbstractItemView::ExtendedSelection); // several entries go at once
    treeFolders->installEventFilter(this);
    connect(cmdAddFile, &QPushButton::clicked, this, &PickFilesPage::cmdAddFile_Click);
    connect(cmdAddFolder, &QPushButton::clicked, this, &PickFilesPage::cmdAddFolder_Click);
    connect(cmdRemoveFolder, &QPushButton::clicked, this, &PickFilesPage::cmdRemoveFolder_Click);
    connect(cmdRestoreFolder, &QPushButton::clicked, this, &PickFilesPage::cmdRestoreFolder_Click);
    connect(treeFolders, &QTreeWidget::itemSelectionChanged, this, &PickFilesPage::treeFolders_Click);
    connect(treeFolders, &selection::SelectionTree::pathsDropped, this, &PickFilesPage::addDroppedPaths);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAddFile);
    buttons->addWidget(cmdAddFolder);
    buttons->addStretch();
    buttons->addWidget(cmdRemoveFolder);
    auto* restore = new QHBoxLayout;
    restore->addStretch();
    restore->addWidget(cmdRestoreFolder);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pagestyle::heading(QStringLiteral("Add files or folders..."), this));
    layout->addWidget(pagestyle::bodyText(QStringLiteral("Specify the files and folders you wish to protect."), this));
    layout->addSpacing(8);
    layout->addWidget(treeFolders, 1);
    layout->addLayout(buttons);
    layout->addSpacing(8);
    layout->addLayout(restore);
}

void PickFilesPage::clearSelection() {
    treeFolders->clearNodes();
    cmdRemoveFolder->setEnabled(false);
}

void PickFilesPage::cmdAddFile_Click() {
    const QStringList files = m_pickers.ShowOpenFilesDialog(
        window(), QStringLiteral("HTML Files (*.html;*.htm)|*.html;*.htm"), QStringLiteral("Select A File To Protect"));
    for (const QString& file : files) {
        // A name typed into the dialog may be any file's; only pages are rewritten.
        if (run::IsPickedPageName(selection::toNativePath(QFileInfo(file).fileName())))
            treeFolders->AddFileNode(file, treeFolders->rootNode());
        else
            refuseNonPage(file);
    }
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
    for (QTreeWidgetItem* node : treeFolders->selectedItems()) {
        if (treeFolders->isEntry(node))
            delete node;
    }
    treeFolders->clearSelection();
    cmdRemoveFolder->setEnabled(false);
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::cmdRestoreFolder_Click() {
    const QString folder = m_pickers.BrowseForFolder(QStringLiteral("Please select the folder to restore "),
                                                     m_lastPath.ReadLastPath(), nullptr);
    if (!folder.isEmpty())
        Q_EMIT restoreFolderRequested(folder);
}

bool PickFilesPage::eventFilter(QObject* watched, QEvent* event) {
    // Delete on the tree does what Remove does.
    if (watched == treeFolders && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (cmdRemoveFolder->isEnabled())
            cmdRemoveFolder->click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PickFilesPage::treeFolders_Click() {
    cmdRemoveFolder->setEnabled(false);
    const QList<QTreeWidgetItem*> selected = treeFolders->selectedItems();
    if (std::none_of(selected.begin(), selected.end(), [this](auto* node) { return treeFolders->isEntry(node); }))
        return;
    cmdRemoveFolder->setEnabled(true);
    Q_EMIT CheckEnableDisableNextButton();
}

void PickFilesPage::addDroppedPaths(const QStringList& paths) {
    addPaths(paths);
}

QStringList PickFilesPage::addPaths(const QStringList& paths) {
    QStringList refused;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString cleaned = QDir::cleanPath(path);
        if (info.isDir()) {
            addFolder(cleaned);
        } else if (isPageFile(info)) {
            treeFolders->AddFileNode(cleaned, treeFolders->rootNode());
            m_lastPath.remember(folderPart(cleaned));
        } else {
            refused << path;
        }
    }
    Q_EMIT CheckEnableDisableNextButton();
    return refused;
}

QString PickFilesPage::problem() const {
    return treeFolders->rootNode() == nullptr || treeFolders->rootNode()->childCount() == 0
               ? QStringLiteral("Add a page or a folder to go on")
               : QString();
}

void PickFilesPage::addFolder(const QString& folder) {
    treeFolders->AddFolderNode(folder, treeFolders->rootNode());
    // The chosen folder is remembered even when the tree refused it as a duplicate.
    m_lastPath.remember(folder);
}

} // namespace quillora::ui
