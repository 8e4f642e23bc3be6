#include "selection/SelectionTree.h"

#include "FakeDialogService.h"
#include "TempFolder.h"
#include "selection/TreeNodes.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quillora::selection;
using quillora::testing::FakeDialogService;
using quillora::testing::TempFolder;

namespace {

const QString kFolderMessage = QStringLiteral("The file/folder already added int the list.");
const QString kFileMessage = QStringLiteral("The file/folder already added in the list.");

QStringList childTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

class SelectionTreeTest : public ::testing::Test {
protected:
    SelectionTreeTest() { tree.AddRootNode(); }

    QTreeWidgetItem* root() const { return tree.rootNode(); }
    QTreeWidgetItem* addFolder(const QString& path) {
        tree.AddFolderNode(path, root());
        return root()->child(root()->childCount() - 1);
    }

    FakeDialogService dialogs;
    SelectionTree tree{dialogs};
    TempFolder disk;
};

TEST_F(SelectionTreeTest, StartsWithTheExpandedRootAlone) {
    ASSERT_NE(root(), nullptr);
    EXPECT_EQ(root()->text(0), QStringLiteral("Folders and files to protect"));
    EXPECT_EQ(nodeImage(root()), kImageRoot);
    EXPECT_TRUE(root()->isExpanded());
    EXPECT_EQ(countNodes(&tree), 1);
    EXPECT_EQ(tree.toolTip(), QStringLiteral("Shows a list of all the folders/files being shared"));
}

TEST_F(SelectionTreeTest, FolderEntryGetsItsPlaceholder) {
    QTreeWidgetItem* folder = addFolder(QStringLiteral("/web/site"));

    EXPECT_EQ(nodeImage(folder), kImageFolder);
    EXPECT_EQ(nodeKey(folder), QString());
    ASSERT_EQ(folder->childCount(), 1);
    const QTreeWidgetItem* placeholder = folder->child(0);
    EXPECT_EQ(placeholder->text(0), QStringLiteral("browsing..."));
    EXPECT_EQ(nodeImage(placeholder), kImagePlaceholder);
    EXPECT_EQ(nodeKey(placeholder), QStringLiteral("BFO") + QString::number(folder->data(0, kIndexRole).toInt()));
}

TEST_F(SelectionTreeTest, DuplicatesAreRefusedWithTheirOwnMessages) {
    addFolder(QStringLiteral("/web/site"));
    tree.AddFileNode(QStringLiteral("/web/a.htm"), root());

    tree.AddFolderNode(QStringLiteral("/web/site"), root());
    tree.AddFileNode(QStringLiteral("/web/a.htm"), root());
    tree.AddFileNode(QStringLiteral("/web/site"), root()); // a file named like a folder entry is a duplicate too

    EXPECT_EQ(countNodes(&tree), 4);
    EXPECT_EQ(dialogs.messageTexts(), (QStringList{kFolderMessage, kFileMessage, kFileMessage}));
    for (const auto& message : dialogs.messages) {
        EXPECT_EQ(message.icon, QMessageBox::Information);
        EXPECT_EQ(message.title, QStringLiteral("Quillora"));
        EXPECT_EQ(message.buttons, QMessageBox::Ok);
    }
}

TEST_F(SelectionTreeTest, TextsDifferingInCaseAreDifferent) {
    addFolder(QStringLiteral("/web/Site"));
    addFolder(QStringLiteral("/web/site"));
    EXPECT_EQ(childTexts(root()), (QStringList{"/web/Site", "/web/site"}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(SelectionTreeTest, ExpandingListsSubfoldersOnceAndDropsThePlaceholder) {
    disk.makeFolder(QStringLiteral("site/img"));
    disk.makeFolder(QStringLiteral("site/css"));
    disk.writeFile(QStringLiteral("site/index.htm"), "<html></html>");
    QTreeWidgetItem* folder = addFolder(disk.filePath(QStringLiteral("site")));

    folder->setExpanded(true);

    QStringList names = childTexts(folder);
    names.sort();
    EXPECT_EQ(names, (QStringList{"css", "img"}));
    for (int i = 0; i < folder->childCount(); ++i) {
        ASSERT_EQ(folder->child(i)->childCount(), 1);
        EXPECT_EQ(folder->child(i)->child(0)->text(0), QStringLiteral("browsing..."));
    }

    // The disk is read only on the first expansion.
    disk.makeFolder(QStringLiteral("site/later"));
    folder->setExpanded(false);
    folder->setExpanded(true);
    EXPECT_EQ(folder->childCount(), 2);
}

TEST_F(SelectionTreeTest, ExpandingAFolderWithoutSubfoldersLeavesItEmpty) {
    disk.writeFile(QStringLiteral("flat/a.htm"), "<html></html>");
    QTreeWidgetItem* folder = addFolder(disk.filePath(QStringLiteral("flat")));

    folder->setExpanded(true);

    EXPECT_EQ(folder->childCount(), 0);
}

TEST_F(SelectionTreeTest, SubfolderNamedLikeAnotherNodeIsLeftOut) {
    disk.makeFolder(QStringLiteral("site/img"));
    disk.makeFolder(QStringLiteral("site/css"));
    tree.AddFileNode(QStringLiteral("img"), root());
    QTreeWidgetItem* folder = addFolder(disk.filePath(QStringLiteral("site")));

    folder->setExpanded(true);

    EXPECT_EQ(childTexts(folder), QStringList{"css"});
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kFolderMessage});
}

TEST_F(SelectionTreeTest, DeeperExpansionReadsThePathDownFromTheEntry) {
    disk.makeFolder(QStringLiteral("site/img/icons/small"));
    QTreeWidgetItem* folder = addFolder(disk.filePath(QStringLiteral("site")));
    folder->setExpanded(true);
    QTreeWidgetItem* img = folder->child(0);
    img->setExpanded(true);
    QTreeWidgetItem* icons = img->child(0);

    icons->setExpanded(true);

    EXPECT_EQ(tree.GetNodeFullPath(icons), disk.filePath(QStringLiteral("site/img/icons/")));
    EXPECT_EQ(childTexts(icons), QStringList{"small"});
}

TEST_F(SelectionTreeTest, FullPathEndsInASeparator) {
    QTreeWidgetItem* folder = addFolder(QStringLiteral("/web/site"));
    QTreeWidgetItem* drive = addFolder(QStringLiteral("/"));

    EXPECT_EQ(tree.GetNodeFullPath(folder), QStringLiteral("/web/site/"));
    EXPECT_EQ(tree.GetNodeFullPath(root()), QString());
    // Below a root entry the separator is doubled.
    auto* below = new QTreeWidgetItem(drive);
    below->setText(0, QStringLiteral("img"));
    EXPECT_EQ(tree.GetNodeFullPath(below), QStringLiteral("//img/"));
}

TEST_F(SelectionTreeTest, AFolderThatWentAwayStaysUnfilled) {
    const QString gone = disk.makeFolder(QStringLiteral("gone"));
    QTreeWidgetItem* folder = addFolder(gone);
    QDir(gone).removeRecursively();

    folder->setExpanded(true);

    EXPECT_EQ(childTexts(root()), QStringList{gone});
    EXPECT_EQ(childTexts(folder), QStringList{"browsing..."});
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(SelectionTreeTest, RootCannotBeCollapsed) {
    addFolder(QStringLiteral("/web/site"));
    tree.collapseItem(root());
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(SelectionTreeTest, SelectionListsTheEntriesInTreeOrder) {
    disk.makeFolder(QStringLiteral("site/img"));
    QTreeWidgetItem* folder = addFolder(disk.filePath(QStringLiteral("site")));
    tree.AddFileNode(QStringLiteral("/web/a.htm"), root());
    folder->setExpanded(true);

    const auto picks = tree.selection();

    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(picks[0].path, disk.filePath(QStringLiteral("site")).toStdString());
    EXPECT_TRUE(picks[0].isFolder);
    EXPECT_EQ(picks[1].path, "/web/a.htm");
    EXPECT_FALSE(picks[1].isFolder);
}

TEST_F(SelectionTreeTest, DroppedLocalPathsAreHandedOn) {
    QSignalSpy dropped(&tree, &SelectionTree::pathsDropped);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/web/site")), QUrl(QStringLiteral("https://example.com/a.htm")),
                  QUrl::fromLocalFile(QStringLiteral("/web/b.html"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);

    QCoreApplication::sendEvent(tree.viewport(), &enter);
    QCoreApplication::sendEvent(tree.viewport(), &drop);

    EXPECT_TRUE(enter.isAccepted());
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped[0][0].toStringList(), (QStringList{"/web/site", "/web/b.html"}));
    EXPECT_TRUE(drop.isAccepted());
}

TEST_F(SelectionTreeTest, DragsWithoutLocalFilesAreRefused) {
    QMimeData data;
    data.setText(QStringLiteral("/web/site"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);

    QCoreApplication::sendEvent(tree.viewport(), &enter);

    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(SelectionTreeTest, ClearingStartsTheIndicesAgain) {
    addFolder(QStringLiteral("/a"));
    tree.clearNodes();
    tree.AddRootNode();
    QTreeWidgetItem* folder = addFolder(QStringLiteral("/b"));
    EXPECT_EQ(folder->data(0, kIndexRole).toInt(), 2);
    EXPECT_EQ(nodeKey(folder->child(0)), QStringLiteral("BFO2"));
}

} // namespace
