#include "TreeNodes.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace quillora::selection {

QIcon imageIcon(int image) {
    QStyle* style = QApplication::style();
    switch (image) {
    case kImageRoot:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case kImageFolder:
        return style->standardIcon(QStyle::SP_DirIcon);
    case kImageFile:
        return style->standardIcon(QStyle::SP_FileIcon);
    default:
        return style->standardIcon(QStyle::SP_BrowserReload);
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
