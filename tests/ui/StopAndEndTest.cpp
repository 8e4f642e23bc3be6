// Stop on Results, closing the window during a run, and what the window shows when a run has ended: driven through
// the window over temporary folders. A page held by its lock (as another program's run would hold it) keeps the run
// at a known page for as long as a test needs.
#include "WindowFixture.h"
#include "disk/PosixFileSystem.h"
#include "selection/NativePath.h"
#include "selection/TreeNodes.h"
#include "ui/ResultsPage.h"
#include "ui/StoreFilesPage.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

using namespace quillora;
using quillora::testing::kEventBoundMs;
using quillora::testing::TempFolder;
using quillora::testing::WindowFixture;

namespace {

const QStringList kNames = {"a.htm", "b.htm", "c.htm", "d.htm", "e.htm"};

QByteArray original(const QString& name) {
    return "<html><head><title>" + name.toUtf8() + "</title></head><body><p>" + name.toUtf8() + "</p></body></html>";
}

class StopAndEndTest : public WindowFixture {
protected:
    /// Five pages picked one by one, to be overwritten with backups (the default).
    void pickFivePages() {
        for (const QString& name : kNames)
            pickFile(site.writeFile(name, original(name)));
    }
    /// Holds the page as another run would; the run waits at it.
    void hold(const QString& name) {
        ASSERT_FALSE(disk.openLocked(selection::toNativePath(site.filePath(name)), std::chrono::milliseconds{0}, held));
    }
    /// Presses Protect and returns once the pages before the held one are listed.
    void protectUpTo(int listed) {
        goToPage(4);
        next();
        ASSERT_TRUE(window.isRunning());
        ASSERT_TRUE(QTest::qWaitFor([&] { return results().writtenPages().size() == listed; }, kEventBoundMs));
    }
    bool waitForTheEnd() {
        return QTest::qWaitFor([&] { return !finished.isEmpty(); }, kEventBoundMs);
    }
    ui::ResultsPage& results() const { return *window.resultsPage; }
    /// Shown once the window is: the tests do not need the window on a screen.
    bool shown(const QWidget* widget) const { return widget->isVisibleTo(&window); }
    void expectLeftAsItWas(const QString& name) const {
        EXPECT_EQ(TempFolder::read(site.filePath(name)), original(name)) << name.toStdString();
        EXPECT_FALSE(QFileInfo::exists(site.filePath(name + ".bak"))) << name.toStdString();
    }
    void expectProtected(const QString& name) const {
        EXPECT_NE(TempFolder::read(site.filePath(name)), original(name)) << name.toStdString();
        EXPECT_EQ(TempFolder::read(site.filePath(name + ".bak")), original(name)) << name.toStdString();
    }

    TempFolder site;
    disk::PosixFileSystem disk;
    std::unique_ptr<disk::LockedFile> held;
    QSignalSpy finished{&window, &ui::frmMain::runFinished};
};

TEST_F(StopAndEndTest, StopFinishesThePageInHandAndLeavesTheOthersAsTheyWere) {
    pickFivePages();
    hold(QStringLiteral("c.htm"));
    protectUpTo(2);
    EXPECT_TRUE(shown(results().cmdStop));
    EXPECT_FALSE(shown(results().lblThanks)) << "no thanks while the run goes on";
    EXPECT_FALSE(shown(results().lblRestartHint));

    results().cmdStop->click();
    EXPECT_FALSE(results().cmdStop->isEnabled());
    EXPECT_EQ(results().lblRunEnd->text(), QStringLiteral("Stopping after the page in hand..."));
    held.reset();
    ASSERT_TRUE(waitForTheEnd());

    for (const QString& name : QStringList{"a.htm", "b.htm", "c.htm"})
        expectProtected(name);
    for (const QString& name : QStringList{"d.htm", "e.htm"})
        expectLeftAsItWas(name);
    QTreeWidget* tree = results().treeResults;
    ASSERT_EQ(tree->topLevelItemCount(), 5) << "pages picked one by one are listed by their paths";
    for (int i = 3; i < 5; ++i) {
        EXPECT_EQ(tree->topLevelItem(i)->text(0), site.filePath(kNames[i]) + "  (not reached)");
        EXPECT_EQ(selection::nodeImage(tree->topLevelItem(i)), selection::kImageNotReached);
    }
    EXPECT_EQ(results().lblResults->text(), QStringLiteral("The following 3 files have been protected"));
    EXPECT_EQ(results().lblRunEnd->text(), QStringLiteral("Stopped: 3 written, 2 not reached (left as they were)."));
    EXPECT_TRUE(results().showsShortfall());
    EXPECT_EQ(results().barProgress->text(), QStringLiteral("3 of 5 pages done"));
    EXPECT_FALSE(shown(results().cmdStop));
    EXPECT_TRUE(shown(results().lblThanks));
    EXPECT_TRUE(window.cmdNext->isEnabled());
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Restart"));
}

TEST_F(StopAndEndTest, APageLockedByAnotherProgramIsNamedWhileTheRunWaitsForIt) {
    pickFivePages();
    hold(QStringLiteral("c.htm"));
    protectUpTo(2);
    const QString waiting = site.filePath(QStringLiteral("c.htm")) +
                            QStringLiteral(": Locked by another program; waiting for it (at most 60 s)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return results().lblResults->text() == waiting; }, kEventBoundMs))
        << results().lblResults->text().toStdString();

    held.reset();
    ASSERT_TRUE(waitForTheEnd());
    for (const QString& name : kNames)
        expectProtected(name);
    EXPECT_EQ(results().lblResults->text(), QStringLiteral("The following 5 files have been protected"));
}

TEST_F(StopAndEndTest, ClosingDuringARunStopsItWhenToldAndThenCloses) {
    window.show();
    pickFivePages();
    hold(QStringLiteral("b.htm"));
    protectUpTo(1);
    dialogs.answers.enqueue(QMessageBox::Yes);

    window.cmdExit->click();

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("The run has not finished. Stop it after the page in hand and quit?\n\nEvery page it has "
                             "not reached is left exactly as it is."));
    EXPECT_EQ(dialogs.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(dialogs.messages[0].defaultButton, QMessageBox::No);
    EXPECT_TRUE(window.isVisible()) << "the window waits for the page in hand";
    window.close(); // a second close while stopping asks nothing more
    EXPECT_EQ(dialogs.messages.size(), 1);

    held.reset();
    ASSERT_TRUE(waitForTheEnd());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(dialogs.messages.size(), 1) << "no quit question after the stop was agreed";
    expectProtected(QStringLiteral("b.htm"));
    for (const QString& name : QStringList{"c.htm", "d.htm", "e.htm"})
        expectLeftAsItWas(name);
}

TEST_F(StopAndEndTest, AnEndWithFailuresSaysSoInTheStatusAndTheBar) {
    site.writeFile(QStringLiteral("site/a.htm"), original(QStringLiteral("a.htm")));
    site.writeFile(QStringLiteral("site/b.htm"), original(QStringLiteral("b.htm")));
    site.writeFile(QStringLiteral("site/c.htm"), original(QStringLiteral("c.htm")));
    site.makeFolder(QStringLiteral("site/protected_b.htm")); // b's output cannot be written
    pickFolder(site.filePath(QStringLiteral("site")));
    goToPage(2);
    window.storeFilesPage->optSave[2]->setChecked(true);
    bool thanksWhileRunning = true;
    bool stopWhileRunning = false;
    dialogs.onMessage = [&](const selection::MessageRequest&) {
        thanksWhileRunning = shown(results().lblThanks);
        stopWhileRunning = shown(results().cmdStop);
    };

    ASSERT_TRUE(protect());

    EXPECT_FALSE(thanksWhileRunning);
    EXPECT_TRUE(stopWhileRunning);
    EXPECT_EQ(results().lblResults->text(), QStringLiteral("The following 2 files have been protected"));
    EXPECT_EQ(results().lblRunEnd->text(), QStringLiteral("Finished: 2 written, 1 given up."));
    EXPECT_TRUE(results().showsShortfall());
    EXPECT_EQ(results().barProgress->text(), QStringLiteral("2 of 3 pages done"));
    EXPECT_NE(results().barProgress->palette().color(QPalette::Highlight), window.palette().color(QPalette::Highlight));
    EXPECT_TRUE(shown(results().lblThanks));
}

TEST_F(StopAndEndTest, ARunWhereEveryPageFailedDoesNotSayItIsStillScanning) {
    site.writeFile(QStringLiteral("site/a.htm"), original(QStringLiteral("a.htm")));
    site.makeFolder(QStringLiteral("site/protected_a.htm"));
    pickFolder(site.filePath(QStringLiteral("site")));
    goToPage(2);
    window.storeFilesPage->optSave[2]->setChecked(true);

    ASSERT_TRUE(protect());

    EXPECT_EQ(results().lblResults->text(), QStringLiteral("The following 0 files have been protected"));
    EXPECT_EQ(results().lblRunEnd->text(), QStringLiteral("Finished: 0 written, 1 given up."));
    EXPECT_EQ(results().barProgress->text(), QStringLiteral("0 of 1 pages done"));
}

TEST_F(StopAndEndTest, AnEndWithEveryPageDoneShowsAFullBarInItsUsualColours) {
    pickFile(site.writeFile(QStringLiteral("a.htm"), original(QStringLiteral("a.htm"))));
    const QString already = site.writeFile(QStringLiteral("b.htm"), original(QStringLiteral("b.htm")));
    pickFile(already);
    ASSERT_TRUE(protect());
    window.ShowPage(1);
    pickFile(site.writeFile(QStringLiteral("c.htm"), original(QStringLiteral("c.htm"))));

    ASSERT_TRUE(protect());

    EXPECT_EQ(results().lblRunEnd->text(), QStringLiteral("Finished: 1 written, 2 already protected."));
    EXPECT_FALSE(results().showsShortfall());
    EXPECT_EQ(results().barProgress->text(), QStringLiteral("3 of 3 pages"));
    EXPECT_EQ(results().barProgress->palette().color(QPalette::Highlight), window.palette().color(QPalette::Highlight));
}

TEST_F(StopAndEndTest, AStoppedRestoreLeavesTheRestProtectedWithTheirBackups) {
    pickFivePages();
    ASSERT_TRUE(protect());
    hold(QStringLiteral("c.htm"));
    dialogs.answers.enqueue(QMessageBox::Yes);
    results().cmdRestore->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return results().treeResults->topLevelItemCount() == 2; }, kEventBoundMs));
    finished.clear();

    results().cmdStop->click();
    held.reset();
    ASSERT_TRUE(waitForTheEnd());

    for (const QString& name : QStringList{"a.htm", "b.htm", "c.htm"}) {
        EXPECT_EQ(TempFolder::read(site.filePath(name)), original(name));
        EXPECT_FALSE(QFileInfo::exists(site.filePath(name + ".bak")));
    }
    for (const QString& name : QStringList{"d.htm", "e.htm"})
        expectProtected(name);
    EXPECT_EQ(results().lblRunEnd->text(), QStringLiteral("Stopped: 3 restored, 2 not reached (left as they were)."));
}

} // namespace
