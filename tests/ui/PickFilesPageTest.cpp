#include "ui/PickFilesPage.h"

#include "FakeDialogService.h"
#include "TempFolder.h"
#include "selection/LastPathMemory.h"
#include "selection/Pickers.h"
#include "selection/SelectionTree.h"
#include "selection/TreeNodes.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillora;
using quillora::testing::FakeDialogService;
using quillora::testing::TempFolder;

namespace {

class PickFilesPageTest : public ::testing::Test {
protected:
    PickFilesPageTest() { tree()->AddRootNode(); }

    selection::SelectionTree* tree() const { return page.treeFolders; }
    QStringList entries() const {
        QStringList texts;
        for (int i = 0; i < tree()->rootNode()->childCount(); ++i)
            texts << tree()->rootNode()->child(i)->text(0);
        return texts;
    }
    void select(QTreeWidgetItem* node) {
        tree()->clearSelection();
        node->setSelected(true);
    }

    TempFolder program;
    TempFolder disk;
    FakeDialogService dialogs;
    selection::LastPathMemory memory{program.path()};
    selection::Pickers pickers{dialogs, memory};
    ui::PickFilesPage page{dialogs, pickers, memory};
    QSignalSpy nextRule{&page, &ui::PickFilesPage::CheckEnableDisableNextButton};
};

TEST_F(PickFilesPageTest, AddFileAsksForOneHtmlFile) {
    dialogs.fileResults.enqueue({QStringLiteral("/web/page.html"), 0});

    page.cmdAddFile->click();

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].title, QStringLiteral("Select A File To Protect"));
    EXPECT_EQ(dialogs.fileRequests[0].filters, QStringList{"HTML Files (*.html *.htm)"});
    EXPECT_EQ(dialogs.fileRequests[0].kind, selection::FileDialogRequest::Kind::Open);
    EXPECT_EQ(entries(), QStringList{"/web/page.html"});
    EXPECT_EQ(selection::nodeImage(tree()->rootNode()->child(0)), selection::kImageFile);
    EXPECT_EQ(nextRule.size(), 1);
}

TEST_F(PickFilesPageTest, AddFileRefusesATypedNameThatIsNotAPage) {
    dialogs.fileResults.enqueue({QStringLiteral("/web/style.css"), 0});
    dialogs.fileResults.enqueue({QStringLiteral("/web/INDEX.HTM"), 0});

    page.cmdAddFile->click();
    page.cmdAddFile->click();

    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{"/web/style.css is not a page: only .htm and .html files can be protected."});
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(entries(), QStringList{"/web/INDEX.HTM"}) << "a page in any letter case is taken";
}

TEST_F(PickFilesPageTest, AddFolderStartsAtTheRememberedFolderAndRemembersTheChoice) {
    const QString before = disk.makeFolder(QStringLiteral("before"));
    const QString chosen = disk.makeFolder(QStringLiteral("chosen"));
    memory.remember(before);
    dialogs.folderResults.enqueue(chosen);

    page.cmdAddFolder->click();

    ASSERT_EQ(dialogs.folderRequests.size(), 1);
    EXPECT_EQ(dialogs.folderRequests[0].prompt, QStringLiteral("Please select the folder to add "));
    EXPECT_EQ(dialogs.folderRequests[0].initialFolder, before);
    EXPECT_EQ(entries(), QStringList{chosen});
    EXPECT_EQ(memory.ReadLastPath(), chosen);
    EXPECT_EQ(nextRule.size(), 1);
}

TEST_F(PickFilesPageTest, ARefusedFolderIsStillRemembered) {
    const QString site = disk.makeFolder(QStringLiteral("site"));
    tree()->AddFolderNode(site, tree()->rootNode());
    memory.remember(disk.path());
    dialogs.folderResults.enqueue(site);

    page.cmdAddFolder->click();

    EXPECT_EQ(dialogs.messageTexts(), QStringList{"The file/folder already added int the list."});
    EXPECT_EQ(entries(), QStringList{site});
    EXPECT_EQ(memory.ReadLastPath(), site);
}

TEST_F(PickFilesPageTest, CancelledFolderPickerChangesNothing) {
    memory.remember(disk.path());

    page.cmdAddFolder->click();

    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(memory.ReadLastPath(), disk.path());
    EXPECT_EQ(nextRule.size(), 1);
}

TEST_F(PickFilesPageTest, RemoveIsOfferedForEntriesOnly) {
    const QString site = disk.makeFolder(QStringLiteral("site"));
    disk.makeFolder(QStringLiteral("site/img"));
    tree()->AddFolderNode(site, tree()->rootNode());
    QTreeWidgetItem* entry = tree()->rootNode()->child(0);
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());

    select(entry->child(0)); // the placeholder
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());
    select(tree()->rootNode());
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());
    entry->setExpanded(true);
    select(entry->child(0)); // the subfolder img
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());
    select(entry);
    EXPECT_TRUE(page.cmdRemoveFolder->isEnabled());

    page.cmdRemoveFolder->click();

    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(selection::countNodes(tree()), 1);
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());
}

TEST_F(PickFilesPageTest, RemoveTakesOnlyTheSelectedEntry) {
    tree()->AddFileNode(QStringLiteral("/web/a.htm"), tree()->rootNode());
    tree()->AddFileNode(QStringLiteral("/web/b.htm"), tree()->rootNode());
    tree()->AddFileNode(QStringLiteral("/web/c.htm"), tree()->rootNode());
    select(tree()->rootNode()->child(1));

    page.cmdRemoveFolder->click();

    EXPECT_EQ(entries(), (QStringList{"/web/a.htm", "/web/c.htm"}));
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());
    EXPECT_TRUE(tree()->selectedItems().isEmpty());
}

TEST_F(PickFilesPageTest, DroppedFoldersAndPagesAreAddedLikePicks) {
    const QString site = disk.makeFolder(QStringLiteral("site"));
    const QString page1 = disk.writeFile(QStringLiteral("one.htm"), "x");
    const QString page2 = disk.writeFile(QStringLiteral("two.html"), "x");
    const QString text = disk.writeFile(QStringLiteral("three.txt"), "x");
    // The run's rule: a folder's FOUR.HTM would not be protected, so a dropped one is no page either.
    const QString upper = disk.writeFile(QStringLiteral("FOUR.HTM"), "x");

    page.addDroppedPaths(
        {site + QLatin1Char('/'), page1, page2, text, upper, page1, disk.filePath(QStringLiteral("gone.htm"))});

    EXPECT_EQ(entries(), (QStringList{site, page1, page2}));
    EXPECT_EQ(selection::nodeImage(tree()->rootNode()->child(0)), selection::kImageFolder);
    EXPECT_EQ(selection::nodeImage(tree()->rootNode()->child(1)), selection::kImageFile);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"The file/folder already added in the list."});
    EXPECT_EQ(memory.ReadLastPath(), disk.path() + QLatin1Char('/'));
    EXPECT_EQ(nextRule.size(), 1);
}

TEST_F(PickFilesPageTest, AddFileTakesSeveralPagesAtOnce) {
    const QString first = disk.writeFile(QStringLiteral("sub/one.htm"), "x");
    const QString second = disk.writeFile(QStringLiteral("sub/two.html"), "x");
    dialogs.fileResults.enqueue({first, 0, {first, second}});

    page.cmdAddFile->click();

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_TRUE(dialogs.fileRequests[0].several);
    EXPECT_EQ(entries(), (QStringList{first, second}));
    EXPECT_EQ(memory.ReadLastPath(), disk.filePath(QStringLiteral("sub")) + QLatin1Char('/'));
    EXPECT_EQ(nextRule.size(), 1);
}

TEST_F(PickFilesPageTest, DeleteRemovesTheSelectedEntriesAsRemoveDoes) {
    for (const char* name : {"/web/a.htm", "/web/b.htm", "/web/c.htm"})
        tree()->AddFileNode(QString::fromLatin1(name), tree()->rootNode());
    tree()->rootNode()->setSelected(true); // the root goes with them, but is never removed
    tree()->rootNode()->child(0)->setSelected(true);
    tree()->rootNode()->child(2)->setSelected(true);
    ASSERT_TRUE(page.cmdRemoveFolder->isEnabled());

    QTest::keyClick(tree(), Qt::Key_Delete);

    EXPECT_EQ(entries(), QStringList{"/web/b.htm"});
    EXPECT_FALSE(page.cmdRemoveFolder->isEnabled());
    select(tree()->rootNode());
    QTest::keyClick(tree(), Qt::Key_Delete); // nothing to remove
    EXPECT_EQ(entries(), QStringList{"/web/b.htm"});
    EXPECT_EQ(selection::countNodes(tree()), 2);
}

TEST_F(PickFilesPageTest, RestoreInAFolderAsksForTheFolderAndHandsItOn) {
    const QString site = disk.makeFolder(QStringLiteral("site"));
    memory.remember(disk.path());
    QSignalSpy asked(&page, &ui::PickFilesPage::restoreFolderRequested);
    EXPECT_EQ(page.cmdRestoreFolder->text(), QStringLiteral("Restore originals &in a folder\u2026"));

    page.cmdRestoreFolder->click(); // cancelled
    dialogs.folderResults.enqueue(site);
    page.cmdRestoreFolder->click();

    ASSERT_EQ(dialogs.folderRequests.size(), 2);
    EXPECT_EQ(dialogs.folderRequests[1].prompt, QStringLiteral("Please select the folder to restore "));
    EXPECT_EQ(dialogs.folderRequests[1].initialFolder, disk.path());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0][0].toString(), site);
    EXPECT_TRUE(entries().isEmpty()) << "the folder is not picked to be protected";
}

TEST_F(PickFilesPageTest, TheReasonNextWaitsIsAPick) {
    EXPECT_EQ(page.problem(), QStringLiteral("Add a page or a folder to go on"));
    tree()->AddFileNode(QStringLiteral("/web/a.htm"), tree()->rootNode());
    EXPECT_EQ(page.problem(), QString());
}

} // namespace
