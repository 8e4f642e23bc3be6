// Restore Originals on the Results page: the way back after an overwrite run with backups, driven through the
// window over temporary folders.
#include "WindowFixture.h"
#include "selection/TreeNodes.h"
#include "ui/PickFilesPage.h"
#include "ui/ResultsPage.h"
#include "ui/StoreFilesPage.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <set>

using namespace quillora;
using quillora::testing::kEventBoundMs;
using quillora::testing::TempFolder;
using quillora::testing::WindowFixture;

namespace {

const QByteArray kA = "<html><head><title>a</title></head><body><p>caf\xe9</p>\r\n</body></html>";
const QByteArray kB = "<html><body><p>b</p></body></html>\n";
const QByteArray kC = "<html><body>c</body></html>";

class RestoreOriginalsTest : public WindowFixture {
protected:
    /// site/ with two pages and one page picked on its own, protected with the default choices.
    void protectSite() {
        site.writeFile(QStringLiteral("site/a.htm"), kA);
        site.writeFile(QStringLiteral("site/sub/b.htm"), kB);
        pickFolder(site.filePath(QStringLiteral("site")));
        pickFile(site.writeFile(QStringLiteral("other/c.htm"), kC));
        ASSERT_TRUE(protect());
        ASSERT_NE(TempFolder::read(path("site/a.htm")), kA);
    }
    /// Presses Restore Originals, answering its question, and waits for the restore when there is one.
    bool pressRestore(QMessageBox::StandardButton answer) {
        dialogs.answers.enqueue(answer);
        QSignalSpy finished(&window, &ui::frmMain::runFinished);
        restoreButton()->click();
        return answer != QMessageBox::Yes || finished.wait(kEventBoundMs);
    }
    QPushButton* restoreButton() const { return window.resultsPage->cmdRestore; }
    bool offered() const { return !restoreButton()->isHidden(); }
    QTreeWidget* results() const { return window.resultsPage->treeResults; }
    QString path(const char* relative) const { return site.filePath(QString::fromLatin1(relative)); }

    TempFolder site;
};

struct Offer {
    const char* name;
    int mode;
    bool backups;
    int runs;
    bool offered;
};

void PrintTo(const Offer& row, std::ostream* out) {
    *out << row.name;
}

class RestoreOfferTest : public RestoreOriginalsTest, public ::testing::WithParamInterface<Offer> {};

TEST_P(RestoreOfferTest, IsMadeOnlyAfterAnOverwriteRunWithBackupsThatWroteAPage) {
    site.writeFile(QStringLiteral("site/a.htm"), kA);
    pickFolder(path("site"));
    goToPage(2);
    window.storeFilesPage->optSave[GetParam().mode]->setChecked(true);
    window.storeFilesPage->chkBackups->setChecked(GetParam().backups);
    window.storeFilesPage->txtSaveDir->setText(path("out"));
    EXPECT_FALSE(offered()) << "before any run";

    for (int run = 0; run < GetParam().runs; ++run) {
        if (run > 0)
            window.cmdPrev_Click();
        ASSERT_TRUE(protect());
    }

    EXPECT_EQ(offered(), GetParam().offered);
    EXPECT_EQ(restoreButton()->text(), QStringLiteral("Re&store Originals"));
}

INSTANTIATE_TEST_SUITE_P(Runs, RestoreOfferTest,
                         ::testing::Values(Offer{"OverwriteWithBackups", 0, true, 1, true},
                                           Offer{"OverwriteWithoutBackups", 0, false, 1, false},
                                           Offer{"CopyToANewFolder", 1, true, 1, false},
                                           Offer{"NewProtectedFiles", 2, true, 1, false},
                                           Offer{"ASecondRunThatWroteNothing", 0, true, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RestoreOriginalsTest, RestartTakesTheOfferAway) {
    protectSite();
    ASSERT_TRUE(offered());

    next(); // Restart

    EXPECT_FALSE(offered());
}

TEST_F(RestoreOriginalsTest, NoLeavesEverythingAsItIs) {
    protectSite();
    const QByteArray protectedA = TempFolder::read(path("site/a.htm"));

    ASSERT_TRUE(pressRestore(QMessageBox::No));

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("Put back the originals of the 3 pages")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Question);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillora"));
    EXPECT_EQ(TempFolder::read(path("site/a.htm")), protectedA);
    EXPECT_EQ(TempFolder::read(path("site/a.htm.bak")), kA);
    EXPECT_TRUE(offered());
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 3 files have been protected"));
    EXPECT_EQ(results()->topLevelItemCount(), 2);
}

TEST_F(RestoreOriginalsTest, YesPutsEveryOriginalBackAndListsWhatCameBack) {
    protectSite();

    ASSERT_TRUE(pressRestore(QMessageBox::Yes));

    EXPECT_EQ(dialogs.messages.size(), 1) << "only the question";
    EXPECT_EQ(TempFolder::read(path("site/a.htm")), kA);
    EXPECT_EQ(TempFolder::read(path("site/sub/b.htm")), kB);
    EXPECT_EQ(TempFolder::read(path("other/c.htm")), kC);
    for (const char* backup : {"site/a.htm.bak", "site/sub/b.htm.bak", "other/c.htm.bak"})
        EXPECT_FALSE(QFileInfo::exists(path(backup))) << backup;

    ASSERT_EQ(results()->topLevelItemCount(), 2);
    const QTreeWidgetItem* folder = results()->topLevelItem(0);
    EXPECT_EQ(folder->text(0), path("site"));
    ASSERT_EQ(folder->childCount(), 2);
    EXPECT_EQ(folder->child(0)->text(0), QStringLiteral("/a.htm"));
    EXPECT_EQ(folder->child(1)->text(0), QStringLiteral("/sub/b.htm"));
    const QTreeWidgetItem* single = results()->topLevelItem(1);
    EXPECT_EQ(single->text(0), path("other/c.htm"));
    for (const QTreeWidgetItem* page :
         std::initializer_list<const QTreeWidgetItem*>{folder->child(0), folder->child(1), single})
        EXPECT_EQ(selection::nodeImage(page), selection::kImageRestored) << page->text(0).toStdString();
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 3 files have been restored"));
    EXPECT_FALSE(offered()) << "nothing is left to restore";
    EXPECT_TRUE(window.cmdNext->isEnabled());
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Restart"));

    results()->setCurrentItem(folder->child(0));
    window.resultsPage->cmdViewPage->click();
    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(path("site/a.htm")));
}

TEST_F(RestoreOriginalsTest, APageThatCannotBeRestoredIsListedWithItsMessageAndTheRestComeBack) {
    protectSite();
    QFile::remove(path("site/a.htm.bak"));
    const QByteArray protectedA = TempFolder::read(path("site/a.htm"));

    ASSERT_TRUE(pressRestore(QMessageBox::Yes));

    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1].text, path("site/a.htm.bak") + QStringLiteral(": There is no backup"));
    EXPECT_EQ(dialogs.messages[1].checkBox, QStringLiteral("Don't show further messages in this run"));
    EXPECT_EQ(TempFolder::read(path("site/a.htm")), protectedA);
    EXPECT_EQ(TempFolder::read(path("site/sub/b.htm")), kB);
    const QTreeWidgetItem* folder = results()->topLevelItem(0);
    ASSERT_EQ(folder->childCount(), 2);
    EXPECT_EQ(folder->child(0)->text(0),
              QStringLiteral("/a.htm  (") + path("site/a.htm.bak") + QStringLiteral(": There is no backup)"));
    EXPECT_EQ(selection::nodeImage(folder->child(0)), selection::kImageGivenUp);
    EXPECT_EQ(selection::nodeImage(folder->child(1)), selection::kImageRestored);
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 2 files have been restored"));
    EXPECT_FALSE(offered());
}

TEST_F(RestoreOriginalsTest, ItsMnemonicIsItsOwnOnTheResultsPage) {
    protectSite();
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    std::multiset<QChar> letters;
    const auto add = [&letters](const QAbstractButton* button) {
        const auto at = button->text().indexOf(QLatin1Char('&'));
        if (button->isVisible() && at >= 0 && at + 1 < button->text().size())
            letters.insert(button->text().at(at + 1).toLower());
    };
    for (const QAbstractButton* button : window.resultsPage->findChildren<QAbstractButton*>())
        add(button);
    for (const QAbstractButton* button : {window.cmdPrev, window.cmdNext, window.cmdExit})
        add(button);
    EXPECT_EQ(letters.size(), 6u);
    for (const QChar letter : letters)
        EXPECT_EQ(letters.count(letter), 1u) << QString(letter).toStdString();

    dialogs.answers.enqueue(QMessageBox::No);
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.isEmpty(); }, kEventBoundMs));
    EXPECT_TRUE(dialogs.messages.value(0).text.startsWith(QStringLiteral("Put back the originals")));
}

TEST_F(RestoreOriginalsTest, AnyFolderCanHaveItsOriginalsBackFromPickFiles) {
    protectSite();
    next(); // Restart: nothing of the run is offered any more
    ASSERT_EQ(window.currentPage(), 1);
    ASSERT_FALSE(offered());
    const QByteArray protectedC = TempFolder::read(path("other/c.htm"));
    QSignalSpy finished(&window, &ui::frmMain::runFinished);
    dialogs.folderResults.enqueue(path("site"));
    dialogs.answers.enqueue(QMessageBox::Yes);

    window.pickFilesPage->cmdRestoreFolder->click();

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(
        dialogs.messages[0].text,
        QStringLiteral("Put back the originals of the protected pages in %1 and its subfolders?\n\nEach protected "
                       "page with its backup beside it is replaced by that backup, and the backups are gone "
                       "afterwards.")
            .arg(path("site")));
    EXPECT_EQ(dialogs.messages[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(window.currentPage(), ui::frmMain::kLastPage);
    ASSERT_TRUE(finished.wait(kEventBoundMs));
    EXPECT_EQ(TempFolder::read(path("site/a.htm")), kA);
    EXPECT_EQ(TempFolder::read(path("site/sub/b.htm")), kB);
    EXPECT_EQ(TempFolder::read(path("other/c.htm")), protectedC) << "outside the folder";
    ASSERT_EQ(results()->topLevelItemCount(), 1);
    EXPECT_EQ(results()->topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 2 files have been restored"));
    EXPECT_EQ(window.resultsPage->lblRunEnd->text(), QStringLiteral("Finished: 2 restored."));
    EXPECT_FALSE(offered());
    EXPECT_EQ(selection::countNodes(tree()), 1) << "the folder was not picked to be protected";
}

TEST_F(RestoreOriginalsTest, AFolderRestoreAnsweredNoDoesNothing) {
    protectSite();
    next(); // Restart
    dialogs.folderResults.enqueue(path("site"));
    dialogs.answers.enqueue(QMessageBox::No);

    window.pickFilesPage->cmdRestoreFolder->click();

    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_FALSE(window.isRunning());
    EXPECT_EQ(TempFolder::read(path("site/a.htm.bak")), kA);
}

} // namespace
