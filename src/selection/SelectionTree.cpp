#include "SelectionTree.h"

#include "AppInfo.h"
#include "DialogService.h"
#include "NativePath.h"
#include "TreeNodes.h"
#include "disk/Paths.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTreeWidgetItemIterator>
#include <QUrl>

namespace quillora::selection {

namespace {

const QString kPlaceholderKeyPrefix = QStringLiteral("BFO");

QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr)
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

QStringList subfolderNames(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable())
        return {};
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
}

} // namespace

SelectionTree::SelectionTree(DialogService& dialogs, QWidget* parent) : QTreeWidget(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("treeFolders"));
    setHeaderHidden(true);
    setToolTip(QStringLiteral("Shows a list of all the folders/files being shared"));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    connect(this, &QTreeWidget::itemExpanded, this, &SelectionTree::treeFolders_Expand);
    connect(this, &QTreeWidget::itemCollapsed, this, &SelectionTree::treeFolders_Collapse);
}

void SelectionTree::AddRootNode() {
    QTreeWidgetItem* root =
        addNode(nullptr, QString::fromLatin1(kRootKey), QStringLiteral("Folders and files to protect"), kImageRoot);
    root->setExpanded(true);
}

void SelectionTree::clearNodes() {
    clear();
    m_nextIndex = 1;
}

QTreeWidgetItem* SelectionTree::rootNode() const {
    return findNodeByKey(this, QString::fromLatin1(kRootKey));
}

bool SelectionTree::FileExsistOrNot(const QString& text) const {
    for (QTreeWidgetItemIterator it(const_cast<SelectionTree*>(this)); *it; ++it) {
        if ((*it)->text(0) == text)
            return true;
    }
    return false;
}

void SelectionTree::AddFolderNode(const QString& text, QTreeWidgetItem* parent) {
    if (refuseDuplicate(text, QStringLiteral("The file/folder already added int the list.")))
        return;
    QTreeWidgetItem* node = addNode(parent, QString(), text, kImageFolder);
    scrollToItem(node);
    addNode(node, kPlaceholderKeyPrefix + QString::number(node->data(0, kIndexRole).toInt()),
            QStringLiteral("browsing..."), kImagePlaceholder);
}

void SelectionTree::AddFileNode(const QString& text, QTreeWidgetItem* parent) {
    if (refuseDuplicate(text, QStringLiteral("The file/folder already added in the list.")))
        return;
    scrollToItem(addNode(parent, QString(), text, kImageFile));
}

QString SelectionTree::GetNodeFullPath(const QTreeWidgetItem* node) const {
    QString path;
    for (; node != nullptr && nodeKey(node) != QLatin1String(kRootKey); node = node->parent())
        path.prepend(node->text(0) + QChar(disk::kPathSeparator));
    return path;
}

bool SelectionTree::isEntry(const QTreeWidgetItem* node) const {
    return node != nullptr && node->parent() != nullptr && nodeKey(node->parent()) == QLatin1String(kRootKey);
}

std::vector<run::SelectionEntry> SelectionTree::selection() const {
    std::vector<run::SelectionEntry> entries;
    const QTreeWidgetItem* root = rootNode();
    for (int i = 0; root != nullptr && i < root->childCount(); ++i) {
        const QTreeWidgetItem* child = root->child(i);
        entries.push_back({toNativePath(child->text(0)), nodeImage(child) == kImageFolder});
    }
    return entries;
}

void SelectionTree::dragEnterEvent(QDragEnterEvent* event) {
    if (localPaths(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void SelectionTree::dragMoveEvent(QDragMoveEvent* event) {
    if (localPaths(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void SelectionTree::dropEvent(QDropEvent* event) {
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    Q_EMIT pathsDropped(paths);
}

void SelectionTree::treeFolders_Expand(QTreeWidgetItem* node) {
    QTreeWidgetItem* first = node->child(0);
    if (first == nullptr || !nodeKey(first).startsWith(QLatin1Char('B')))
        return;
    const QString folder = GetNodeFullPath(node);
    if (!QFileInfo(folder).isDir()) {
        // The folder went away after it was picked: keep the node unfilled, so a later expand tries again.
        node->setExpanded(false);
        return;
    }
    for (const QString& name : subfolderNames(folder))
        AddFolderNode(name, node);
    delete node->takeChild(0);
}

void SelectionTree::treeFolders_Collapse(QTreeWidgetItem* node) {
    if (nodeKey(node) == QLatin1String(kRootKey))
        node->setExpanded(true);
}

QTreeWidgetItem* SelectionTree::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text, int image) {
    auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    setNode(node, key, text, image);
    node->setData(0, kIndexRole, m_nextIndex++);
    return node;
}

bool SelectionTree::refuseDuplicate(const QString& text, const QString& message) {
    if (!FileExsistOrNot(text))
        return false;
    m_dialogs.showMessage({message, QString::fromLatin1(kApplicationTitle), QMessageBox::Information, QMessageBox::Ok});
    return true;
}

} // namespace quillora::selection
