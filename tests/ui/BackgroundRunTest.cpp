// The whole protection run driven through the window, over temporary folders.
#include "ui/BackgroundRun.h"

#include "WindowFixture.h"
#include "selection/TreeNodes.h"
#include "ui/EncryptionPage.h"
#include "ui/ResultsPage.h"
#include "ui/StoreFilesPage.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTreeWidget>

using namespace quillora;
using quillora::testing::kEventBoundMs;
using quillora::testing::TempFolder;
using quillora::testing::WindowFixture;

namespace {

const QByteArray kPage = "<html><head><title>t</title></head><body><p>Hello</p></body></html>";

QStringList childTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

class BackgroundRunTest : public WindowFixture {
protected:
    TempFolder site;

    QTreeWidget* results() const { return window.resultsPage->treeResults; }
    void chooseNewProtectedFiles() {
        goToPage(2);
        window.storeFilesPage->optSave[2]->setChecked(true);
    }
};

TEST_F(BackgroundRunTest, ListsFolderAndFileNodesWithTheCount) {
    site.writeFile(QStringLiteral("site/index.htm"), kPage);
    site.writeFile(QStringLiteral("site/notes.txt"), "not a page");
    site.writeFile(QStringLiteral("site/sub/page.html"), kPage);
    const QString single = site.writeFile(QStringLiteral("other/single.htm"), kPage);
    pickFolder(site.filePath(QStringLiteral("site")));
    pickFile(single);
    chooseNewProtectedFiles();

    ASSERT_TRUE(protect());

    ASSERT_EQ(results()->topLevelItemCount(), 2);
    const QTreeWidgetItem* folder = results()->topLevelItem(0);
    EXPECT_EQ(folder->text(0), site.filePath(QStringLiteral("site")));
    EXPECT_EQ(selection::nodeKey(folder), site.filePath(QStringLiteral("site")));
    EXPECT_EQ(selection::nodeImage(folder), selection::kImageFolder);
    EXPECT_EQ(childTexts(folder), (QStringList{"/protected_index.htm", "/sub/protected_page.html"}));
    EXPECT_EQ(selection::nodeImage(folder->child(0)), selection::kImageFile);
    const QTreeWidgetItem* file = results()->topLevelItem(1);
    EXPECT_EQ(file->text(0), site.filePath(QStringLiteral("other/protected_single.htm")));
    EXPECT_EQ(selection::nodeImage(file), selection::kImageFile);

    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 3 files have been protected"));
    EXPECT_EQ(window.resultsPage->barProgress->value(), 3);
    EXPECT_EQ(window.resultsPage->barProgress->maximum(), 3);
    EXPECT_TRUE(QFileInfo::exists(site.filePath(QStringLiteral("site/sub/protected_page.html"))));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(BackgroundRunTest, APageProtectedInPartIsMarkedWithWhatStayedAsItStands) {
    site.writeFile(QStringLiteral("site/team.htm"),
                   "<html><head></head><body><template><a href=\"m.htm\">M</a></template><a href=x.htm>X</a></body>"
                   "</html>");
    site.writeFile(QStringLiteral("site/index.htm"), kPage);
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseNewProtectedFiles();
    goToPage(3);
    window.encryptionPage->optProtect[1]->setChecked(true);

    ASSERT_TRUE(protect());

    const QTreeWidgetItem* folder = results()->topLevelItem(0);
    EXPECT_EQ(childTexts(folder), (QStringList{"/protected_index.htm", "/protected_team.htm  (protected in part)"}));
    EXPECT_EQ(folder->child(1)->toolTip(0), QStringLiteral("protected in part: links inside a template or an SVG or "
                                                           "MathML drawing are left as they are"));
    EXPECT_TRUE(folder->child(0)->toolTip(0).isEmpty());
}

TEST_F(BackgroundRunTest, ButtonsRestUntilTheRunEnds) {
    site.writeFile(QStringLiteral("site/index.htm"), kPage);
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseNewProtectedFiles();
    goToPage(4);
    QSignalSpy finished(&window, &ui::frmMain::runFinished);

    next();

    EXPECT_EQ(window.currentPage(), 5);
    EXPECT_TRUE(window.isRunning());
    EXPECT_FALSE(window.cmdPrev->isEnabled());
    EXPECT_FALSE(window.cmdNext->isEnabled());
    EXPECT_TRUE(window.cmdExit->isEnabled()) << "Exit asks whether to stop the run";
    dialogs.answers.enqueue(QMessageBox::No);
    window.close(); // the window's thread has not seen the end yet: the run goes on
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("The run has not finished.")));
    EXPECT_TRUE(window.isRunning());

    ASSERT_TRUE(finished.wait(kEventBoundMs));
    EXPECT_FALSE(window.isRunning());
    EXPECT_TRUE(window.cmdPrev->isEnabled());
    EXPECT_TRUE(window.cmdNext->isEnabled());
    EXPECT_TRUE(window.cmdExit->isEnabled());
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Restart"));
}

TEST_F(BackgroundRunTest, EmptySelectionIsReported) {
    next();
    window.cmdNext->setEnabled(true); // the selection is emptied after Next was allowed
    ASSERT_TRUE(protect());

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("No files were picked to be protected"));
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillora"));
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("No files were picked to be protected."));
    EXPECT_EQ(results()->topLevelItemCount(), 0);
    EXPECT_FALSE(window.resultsPage->barProgress->isVisible());
}

TEST_F(BackgroundRunTest, EmptyPasswordReturnsToTheEncryptionPage) {
    const QString page = site.writeFile(QStringLiteral("a.htm"), kPage);
    pickFile(page);
    goToPage(3);
    window.encryptionPage->chkPasswordScript->setChecked(true);
    window.encryptionPage->txtPassword->setText(QStringLiteral("   "));

    ASSERT_TRUE(protect());

    EXPECT_EQ(window.currentPage(), 3);
    EXPECT_EQ(window.focusWidget(), window.encryptionPage->txtPassword);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"Please Enter a Password"});
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(results()->topLevelItemCount(), 0);
    EXPECT_EQ(TempFolder::read(page), kPage);
    EXPECT_TRUE(window.cmdPrev->isEnabled());
    EXPECT_TRUE(window.cmdNext->isEnabled());
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Next >>"));
}

TEST_F(BackgroundRunTest, CopyModeWithoutFolderReturnsToTheStorePage) {
    pickFile(site.writeFile(QStringLiteral("a.htm"), kPage));
    goToPage(2);
    window.storeFilesPage->optSave[1]->setChecked(true);

    ASSERT_TRUE(protect());

    EXPECT_EQ(window.currentPage(), 2);
    EXPECT_EQ(window.focusWidget(), window.storeFilesPage->txtSaveDir);
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(BackgroundRunTest, AMessageHoldsTheRunUntilItIsAnswered) {
    site.writeFile(QStringLiteral("site/a.htm"), kPage);
    site.writeFile(QStringLiteral("site/b.htm"), kPage);
    site.makeFolder(QStringLiteral("site/protected_a.htm")); // a's output cannot be written
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseNewProtectedFiles();
    int listedWhileShown = -1;
    dialogs.onMessage = [&](const selection::MessageRequest&) {
        QCoreApplication::processEvents(); // anything the run sent meanwhile would arrive now
        listedWhileShown = results()->topLevelItemCount();
    };

    ASSERT_TRUE(protect());

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_FALSE(dialogs.messages[0].text.contains(QLatin1Char('\r')));
    EXPECT_TRUE(dialogs.messages[0].text.contains(QLatin1Char('\n')));
    EXPECT_EQ(dialogs.messages[0].checkBox, QStringLiteral("Don't show further messages in this run"));
    EXPECT_EQ(listedWhileShown, 1) << "only the page given up, nothing after it";
    ASSERT_EQ(results()->topLevelItemCount(), 1);
    const QTreeWidgetItem* folder = results()->topLevelItem(0);
    ASSERT_EQ(folder->childCount(), 2);
    EXPECT_TRUE(folder->child(0)->text(0).startsWith(QStringLiteral("/a.htm  (Unknown Error 21 Is a directory")))
        << folder->child(0)->text(0).toStdString();
    EXPECT_EQ(selection::nodeImage(folder->child(0)), selection::kImageGivenUp);
    EXPECT_EQ(folder->child(1)->text(0), QStringLiteral("/protected_b.htm"));
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 1 files have been protected"));
}

TEST_F(BackgroundRunTest, ManyFailuresNeedOneAnswerWhenTheUserAsksForNoMore) {
    for (const char* name : {"a", "b", "c"}) {
        site.writeFile(QStringLiteral("site/%1.htm").arg(QLatin1String(name)), kPage);
        site.makeFolder(QStringLiteral("site/protected_%1.htm").arg(QLatin1String(name)));
    }
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseNewProtectedFiles();
    dialogs.checkBoxAnswers.enqueue(true); // "Don't show further messages in this run"

    ASSERT_TRUE(protect());

    EXPECT_EQ(dialogs.messages.size(), 1);
    ASSERT_EQ(results()->topLevelItemCount(), 1);
    EXPECT_EQ(results()->topLevelItem(0)->childCount(), 3) << "every page given up is listed";
}

TEST_F(BackgroundRunTest, ASecondRunListsThePagesThatAreProtectedAlready) {
    site.writeFile(QStringLiteral("site/a.htm"), kPage);
    pickFolder(site.filePath(QStringLiteral("site")));
    ASSERT_TRUE(protect());
    const QByteArray once = TempFolder::read(site.filePath(QStringLiteral("site/a.htm")));
    window.cmdPrev_Click(); // back to Scripts, then Protect again

    ASSERT_TRUE(protect());

    EXPECT_EQ(TempFolder::read(site.filePath(QStringLiteral("site/a.htm"))), once);
    EXPECT_EQ(TempFolder::read(site.filePath(QStringLiteral("site/a.htm.bak"))), kPage);
    ASSERT_EQ(results()->topLevelItemCount(), 1);
    const QTreeWidgetItem* node = results()->topLevelItem(0)->child(0);
    EXPECT_EQ(node->text(0), QStringLiteral("/a.htm  (already protected)"));
    EXPECT_EQ(selection::nodeImage(node), selection::kImageAlreadyProtected);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(BackgroundRunTest, ANoticeThatWouldEndItsCommentIsRefused) {
    const QString page = site.writeFile(QStringLiteral("a.htm"), kPage);
    pickFile(page);
    goToPage(2);
    window.storeFilesPage->chkCopyrightNotice->setChecked(true);
    window.storeFilesPage->txtCopyrightNotice->setText(QStringLiteral("(c) me --> shown"));

    ASSERT_TRUE(protect());

    EXPECT_EQ(window.currentPage(), 2);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("Notice: --> or --!> not allowed")));
    EXPECT_EQ(TempFolder::read(page), kPage);
}

class CopyRunTest : public BackgroundRunTest {
protected:
    void chooseCopyTo(const QString& target) {
        goToPage(2);
        window.storeFilesPage->optSave[1]->setChecked(true);
        window.storeFilesPage->txtSaveDir->setText(target);
    }
    const QByteArray logo = QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
};

TEST_F(CopyRunTest, TheSitesImagesAndStyleSheetsGoAlongAndTheStatusCountsThem) {
    site.writeFile(QStringLiteral("site/index.htm"), kPage);
    site.writeFile(QStringLiteral("site/img/logo.png"), logo);
    site.writeFile(QStringLiteral("site/css/site.css"), "body { margin: 0 }");
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseCopyTo(site.filePath(QStringLiteral("out")));

    ASSERT_TRUE(protect());

    EXPECT_EQ(TempFolder::read(site.filePath(QStringLiteral("out/img/logo.png"))), logo);
    EXPECT_EQ(TempFolder::read(site.filePath(QStringLiteral("out/css/site.css"))), "body { margin: 0 }");
    EXPECT_EQ(window.resultsPage->lblResults->text(),
              QStringLiteral("The following 1 files have been protected\n2 other files of the site were copied"));
    ASSERT_EQ(results()->topLevelItemCount(), 1);
    EXPECT_EQ(childTexts(results()->topLevelItem(0)), QStringList{"/index.htm"}) << "the list holds pages only";
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(CopyRunTest, WithoutTheOtherFilesOnlyThePagesAreCopied) {
    site.writeFile(QStringLiteral("site/index.htm"), kPage);
    site.writeFile(QStringLiteral("site/img/logo.png"), logo);
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseCopyTo(site.filePath(QStringLiteral("out")));
    window.storeFilesPage->chkCopyOthers->setChecked(false);

    ASSERT_TRUE(protect());

    EXPECT_TRUE(QFileInfo::exists(site.filePath(QStringLiteral("out/index.htm"))));
    EXPECT_FALSE(QFileInfo::exists(site.filePath(QStringLiteral("out/img/logo.png"))));
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("The following 1 files have been protected"));
}

TEST_F(CopyRunTest, AFileThatCannotBeCopiedIsNamedInItsMessage) {
    site.writeFile(QStringLiteral("site/index.htm"), kPage);
    site.writeFile(QStringLiteral("site/style.css"), "p {}");
    QFile::link(QStringLiteral("nowhere.png"), site.filePath(QStringLiteral("site/gone.png")));
    pickFolder(site.filePath(QStringLiteral("site")));
    chooseCopyTo(site.filePath(QStringLiteral("out")));

    ASSERT_TRUE(protect());

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, site.filePath(QStringLiteral("site/gone.png")) +
                                            QStringLiteral(" could not be copied\n\nUnknown Error 2\nNo such file "
                                                           "or directory"));
    EXPECT_EQ(dialogs.messages[0].checkBox, QStringLiteral("Don't show further messages in this run"));
    EXPECT_EQ(window.resultsPage->lblResults->text(),
              QStringLiteral("The following 1 files have been protected\n1 other files of the site were copied, 1 "
                             "could not be copied"));
}

TEST_F(BackgroundRunTest, ViewPageOpensTheWrittenFile) {
    pickFile(site.writeFile(QStringLiteral("a.htm"), kPage));
    pickFolder(site.makeFolder(QStringLiteral("site")));
    site.writeFile(QStringLiteral("site/deep/b.htm"), kPage);
    chooseNewProtectedFiles();
    ASSERT_TRUE(protect());
    ASSERT_EQ(results()->topLevelItemCount(), 2);
    EXPECT_FALSE(window.resultsPage->cmdViewPage->isEnabled());

    QTreeWidgetItem* nested = results()->topLevelItem(1)->child(0);
    results()->setCurrentItem(nested);
    ASSERT_TRUE(window.resultsPage->cmdViewPage->isEnabled());
    window.resultsPage->cmdViewPage->click();
    results()->setCurrentItem(results()->topLevelItem(0));
    window.resultsPage->cmdViewPage->click();

    ASSERT_EQ(opener.urls.size(), 2);
    EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(site.filePath(QStringLiteral("site/deep/protected_b.htm"))));
    EXPECT_EQ(opener.urls[1], QUrl::fromLocalFile(site.filePath(QStringLiteral("protected_a.htm"))));
    EXPECT_TRUE(QFileInfo::exists(opener.urls[0].toLocalFile()));
}

TEST_F(BackgroundRunTest, ChosenOptionsReachTheWrittenPage) {
    const QString page = site.writeFile(QStringLiteral("a.htm"), kPage);
    pickFile(page);
    goToPage(2);
    window.storeFilesPage->chkBackups->setChecked(false);
    window.storeFilesPage->chkCopyrightNotice->setChecked(true);
    window.storeFilesPage->txtCopyrightNotice->setText(QStringLiteral("(c) Notice of the test"));

    ASSERT_TRUE(protect());

    EXPECT_TRUE(TempFolder::read(page).contains("(c) Notice of the test"));
    EXPECT_FALSE(QFileInfo::exists(page + QStringLiteral(".bak")));
}

} // namespace
