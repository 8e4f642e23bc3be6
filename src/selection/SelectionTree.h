#pragma once

#include "run/SelectionEntry.h"

#include <QStringList>
#include <QTreeWidget>
#include <vector>

namespace quillora::selection {

class DialogService;

/// The tree of picked folders and files: each pick is a direct child of the root (key "root"); folder entries
/// open lazily onto their subfolders, for display only. No two nodes carry the same text.
class SelectionTree : public QTreeWidget {
    Q_OBJECT

public:
    explicit SelectionTree(DialogService& dialogs, QWidget* parent = nullptr);

    /// Adds the root node "Folders and files to protect".
    void AddRootNode();
    /// Removes every node; the next node added gets index 1 again.
    void clearNodes();
    QTreeWidgetItem* rootNode() const;

    /// True when some node in the tree has exactly this text.
    bool FileExsistOrNot(const QString& text) const;
    /// Adds a folder entry (below the root) or a subfolder node, with its placeholder; refuses a duplicate.
    void AddFolderNode(const QString& text, QTreeWidgetItem* parent);
    /// Adds a file entry; refuses a duplicate.
    void AddFileNode(const QString& text, QTreeWidgetItem* parent);
    /// The path a node stands for: the texts from the entry down to the node, each followed by a separator.
    QString GetNodeFullPath(const QTreeWidgetItem* node) const;

    /// True for a direct child of the root: something the user picked.
    bool isEntry(const QTreeWidgetItem* node) const;
    /// The picks, in tree order, as the protection run takes them.
    std::vector<run::SelectionEntry> selection() const;

Q_SIGNALS:
    /// Files or folders were dropped onto the tree (local paths, not yet checked).
    void pathsDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void treeFolders_Expand(QTreeWidgetItem* node);
    void treeFolders_Collapse(QTreeWidgetItem* node);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text, int image);
    bool refuseDuplicate(const QString& text, const QString& message);

    DialogService& m_dialogs;
    int m_nextIndex = 1;
};

} // namespace quillora::selection
