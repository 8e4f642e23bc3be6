#pragma once

#include <QIcon>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// The node data both trees share: a key, an image number of the shared image list, and an index.
namespace quillora::selection {

/// Image numbers of the image list; the run tells folders from files by kImageFolder.
inline constexpr int kImagePlaceholder = 0;
inline constexpr int kImageRoot = 1;
inline constexpr int kImageFolder = 3;
inline constexpr int kImageFile = 7;
// The results tree's own pictures for pages that were not written.
inline constexpr int kImageAlreadyProtected = 8;
inline constexpr int kImageGivenUp = 9;
inline constexpr int kImageSkipped = 10;
inline constexpr int kImageRestored = 11;   // a page whose original was put back
inline constexpr int kImageNotReached = 12; // a page a stopped run left as it was

inline constexpr int kKeyRole = Qt::UserRole;       // QString, empty for nodes without a key
inline constexpr int kImageRole = Qt::UserRole + 1; // int, one of the image numbers
inline constexpr int kIndexRole = Qt::UserRole + 2; // int, the node's index, from 1
inline constexpr int kPathRole = Qt::UserRole + 3;  // QString, the file-system path a results node names

inline constexpr char kRootKey[] = "root";

/// The picture of an image number.
QIcon imageIcon(int image);

/// Fills a node's key, text and image (with its picture).
void setNode(QTreeWidgetItem* item, const QString& key, const QString& text, int image);
QString nodeKey(const QTreeWidgetItem* item);
int nodeImage(const QTreeWidgetItem* item);

/// The first node anywhere in the tree with this key, or nullptr.
QTreeWidgetItem* findNodeByKey(const QTreeWidget* tree, const QString& key);
/// The number of nodes in the tree, the root included.
int countNodes(const QTreeWidget* tree);

} // namespace quillora::selection
