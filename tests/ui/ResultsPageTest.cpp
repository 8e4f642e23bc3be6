#include "ui/ResultsPage.h"

#include "WindowFixture.h"
#include "selection/TreeNodes.h"
#include "ui/DesktopUrlOpener.h"

#include <QTest>
#include <QTreeWidget>

using namespace quillora;
using quillora::testing::TempFolder;
using quillora::testing::WindowFixture;

namespace {

// A results tree as a run over /web leaves it: index.htm at the top of the folder, news/today.htm below it.
class ResultsPageTest : public WindowFixture {
protected:
    void SetUp() override {
        window.ShowPage(ui::frmMain::kLastPage);
        page = window.resultsPage;
        page->beginRun();
        page->AddResultNode({"index.htm", "/web/"}, "/web/index.htm");
        page->AddResultNode({"news/today.htm", "/web/"}, "/web/news/today.htm");
        page->endRun({});
    }
    QTreeWidgetItem* folderNode() const { return page->treeResults->topLevelItem(0); }
    QTreeWidgetItem* fileNode(int i) const { return folderNode()->child(i); }
    void select(QTreeWidgetItem* node) const { page->treeResults->setCurrentItem(node); }
    void showOnResults() {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void doubleClick(QTreeWidgetItem* node) const {
        QWidget* viewport = page->treeResults->viewport();
        const QPoint at = page->treeResults->visualItemRect(node).center();
        // The first click of a double click selects, as it does for a person.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    }

    ui::ResultsPage* page = nullptr;
};

TEST_F(ResultsPageTest, APageProtectedInPartSaysSoWithTheReasonAsItsTooltip) {
    page->beginRun();
    page->AddResultNode({"index.htm", "/web/"}, "/web/index.htm");
    page->AddResultNode({"team.htm", "/web/"}, "/web/team.htm");
    page->markProtectedInPart({"team.htm", "/web/"}, QStringLiteral("protected in part: why"));
    EXPECT_EQ(fileNode(0)->text(0), QStringLiteral("index.htm"));
    EXPECT_EQ(fileNode(1)->text(0), QStringLiteral("team.htm  (protected in part)"));
    EXPECT_EQ(fileNode(1)->toolTip(0), QStringLiteral("protected in part: why"));
    EXPECT_EQ(fileNode(1)->data(0, selection::kPathRole).toString(), QStringLiteral("/web/team.htm"));
}

TEST_F(ResultsPageTest, OpenFolderAndViewPageNeedASelectedNode) {
    EXPECT_EQ(page->cmdOpenFolder->text(), QStringLiteral("&Open Folder"));
    EXPECT_FALSE(page->cmdOpenFolder->isEnabled());
    EXPECT_FALSE(page->cmdViewPage->isEnabled());

    select(fileNode(0));
    EXPECT_TRUE(page->cmdOpenFolder->isEnabled());
    EXPECT_TRUE(page->cmdViewPage->isEnabled());

    page->treeResults->clearSelection();
    EXPECT_FALSE(page->cmdOpenFolder->isEnabled());
    EXPECT_FALSE(page->cmdViewPage->isEnabled());

    select(fileNode(0));
    page->beginRun(); // a new run empties the tree
    EXPECT_FALSE(page->cmdOpenFolder->isEnabled());
    EXPECT_FALSE(page->cmdViewPage->isEnabled());
}

struct OpenCase {
    const char* name;
    int node; // -1 the folder node, else the file node with this index
    const char* viewed;
    const char* folder;
};

class OpenResultTest : public ResultsPageTest, public ::testing::WithParamInterface<OpenCase> {
protected:
    QTreeWidgetItem* node() const { return GetParam().node < 0 ? folderNode() : fileNode(GetParam().node); }
};

TEST_P(OpenResultTest, ViewPageOpensTheNodeAndOpenFolderItsFolder) {
    select(node());

    page->cmdViewPage->click();
    page->cmdOpenFolder->click();

    ASSERT_EQ(opener.urls.size(), 2);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(QString::fromLatin1(GetParam().viewed)));
    EXPECT_EQ(opener.urls[1], QUrl::fromLocalFile(QString::fromLatin1(GetParam().folder)));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Nodes, OpenResultTest,
                         ::testing::Values(OpenCase{"FileAtTheTop", 0, "/web/index.htm", "/web"},
                                           OpenCase{"FileInASubfolder", 1, "/web/news/today.htm", "/web/news"},
                                           OpenCase{"FolderNode", -1, "/web/", "/web/"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResultsPageTest, APageThatCannotBeOpenedIsReportedByName) {
    opener.succeeds = false;
    select(fileNode(1));

    page->cmdViewPage->click();
    page->cmdOpenFolder->click();

    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Unable to open /web/news/today.htm\n\nIt may have been moved or deleted since, or no "
                             "program is set to open it."));
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillora"));
    EXPECT_EQ(dialogs.messages[0].buttons, QMessageBox::Ok);
    EXPECT_TRUE(dialogs.messages[1].text.startsWith(QStringLiteral("Unable to open /web/news\n")));
}

TEST_F(ResultsPageTest, ThePlaceholderRootOpensNothing) {
    page->addPlaceholderRoot();
    select(page->treeResults->topLevelItem(0));

    page->cmdViewPage->click();
    page->cmdOpenFolder->click();

    EXPECT_TRUE(opener.urls.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ResultsPageTest, DoubleClickOnAWrittenFileViewsIt) {
    showOnResults();

    doubleClick(fileNode(1));

    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(QStringLiteral("/web/news/today.htm")));
}

TEST_F(ResultsPageTest, EnterOnAWrittenFileViewsItInsteadOfRestarting) {
    showOnResults();
    select(fileNode(0));

    QTest::keyClick(page->treeResults, Qt::Key_Return);

    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(QStringLiteral("/web/index.htm")));
    EXPECT_EQ(window.currentPage(), ui::frmMain::kLastPage);
    select(folderNode());
    QTest::keyClick(page->treeResults, Qt::Key_Return); // a folder is not viewed: Enter presses Restart
    EXPECT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(window.currentPage(), 1);
}

TEST_F(ResultsPageTest, DoubleClickOnAFolderNodeClosesItInsteadOfOpeningIt) {
    showOnResults();
    ASSERT_TRUE(folderNode()->isExpanded());

    doubleClick(folderNode());

    EXPECT_TRUE(opener.urls.isEmpty());
    EXPECT_FALSE(folderNode()->isExpanded());
}

} // namespace

namespace {

TEST(DesktopUrlOpenerTest, AWrittenPageThatIsGoneCannotBeOpened) {
    TempFolder folder;
    ui::DesktopUrlOpener opener;
    EXPECT_FALSE(opener.openUrl(QUrl::fromLocalFile(folder.filePath(QStringLiteral("removed.htm")))));
}

} // namespace
