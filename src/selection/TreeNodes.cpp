#include "TreeNodes.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace quillora::selection {

namespace {

struct Pictures {
    QIcon root;
    QIcon folder;
    QIcon file;
    QIcon placeholder;
    QIcon alreadyProtected;
    QIcon givenUp;
    QIcon skipped;
    QIcon restored;
    QIcon notReached;
};

// Looked up once, as the style's lookup is slow next to adding a node and a run adds thousands. Never freed,
// so that no picture outlives the application it was made by.
const Pictures& pictures() {
    static const Pictures* cached = new Pictures{QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon),
                                                 QApplication::style()->standardIcon(QStyle::SP_DirIcon),
                                                 QApplication::style()->standardIcon(QStyle::SP_FileIcon),
                                                 QApplication::style()->standardIcon(QStyle::SP_BrowserReload),
                                                 QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton),
                                                 QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical),
                                                 QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning),
                                                 QApplication::style()->standardIcon(QStyle::SP_ArrowBack),
                                                 QApplication::style()->standardIcon(QStyle::SP_BrowserStop)};
    return *cached;
}

} // namespace

QIcon imageIcon(int image) {
    switch (image) {
    case kImageRoot:
        return pictures().root;
    case kImageFolder:
        return pictures().folder;
    case kImageFile:
        return pictures().file;
    case kImageAlreadyProtected:
        return pictures().alreadyProtected;
    case kImageGivenUp:
        return pictures().givenUp;
    case kImageSkipped:
        return pictures().skipped;
    case kImageRestored:
        return pictures().restored;
    case kImageNotReached:
        return pictures().notReached;
    default:
        return pictures().placeholder;
    }
}

void setNode(QTreeWidgetItem* item, const QString& key, const QString& text, int image) {
    item->setData(0, kKeyRole, key);
    item->setData(0, kImageRole, image);
    item->setText(0, text);
    item->setIcon(0, imageIcon(image));
}

QString nodeKey(const QTreeWidgetItem* item) {
    return item->data(0, kKeyRole).toString();
}

int nodeImage(const QTreeWidgetItem* item) {
    return item->data(0, kImageRole).toInt();
}

QTreeWidgetItem* findNodeByKey(const QTreeWidget* tree, const QString& key) {
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) {
        if (nodeKey(*it) == key)
            return *it;
    }
    return nullptr;
}

int countNodes(const QTreeWidget* tree) {
    int count = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        ++count;
    return count;
}

} // namespace quillora::selection
