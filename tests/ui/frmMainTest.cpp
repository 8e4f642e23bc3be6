#include "ui/frmMain.h"

#include "WindowFixture.h"
#include "selection/TreeNodes.h"
#include "ui/Artwork.h"
#include "ui/EncryptionPage.h"
#include "ui/HyperLink.h"
#include "ui/HyperLink2.h"
#include "ui/PickFilesPage.h"
#include "ui/ResultsPage.h"
#include "ui/ScriptsPage.h"
#include "ui/SideBar.h"
#include "ui/StoreFilesPage.h"
#include "ui/WelcomePage.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <functional>

using namespace quillora;
using quillora::testing::kEventBoundMs;
using quillora::testing::WindowFixture;

namespace {

const QString kQuit = QStringLiteral("Are you sure you wish to quit?");

class frmMainTest : public WindowFixture {
protected:
    void expectHighlightedRow(int page) const {
        for (int j = 0; j < ui::frmMain::kPageCount; ++j) {
            const QColor expected = j == page ? ui::artwork::kHighlight : QColor(Qt::white);
            EXPECT_EQ(window.picLeft->lnkFrame[j]->BackColor(), expected) << "row " << j << " on page " << page;
        }
    }
    void expectOnlyPageEnabled(int page) const {
        for (int i = 0; i < ui::frmMain::kPageCount; ++i)
            EXPECT_EQ(window.picFrame[i]->isEnabled(), i == page) << "frame " << i;
    }
    void showAndActivate() {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST_F(frmMainTest, StartState) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillora"));
    EXPECT_EQ(window.objectName(), QStringLiteral("frmMain"));
    EXPECT_EQ(window.currentPage(), 0);
    EXPECT_FALSE(window.cmdPrev->isEnabled());
    EXPECT_TRUE(window.cmdNext->isEnabled());
    EXPECT_EQ(window.cmdPrev->text(), QStringLiteral("<< &Back"));
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Next >>"));
    EXPECT_EQ(window.cmdExit->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(window.welcomePage->lblVersion->text(), QStringLiteral("Quillora 2006"));
    expectHighlightedRow(0);
    expectOnlyPageEnabled(0);

    const QStringList titles{"Welcome", "Pick Files", "Store Files", "Encryption", "Scripts", "Results"};
    for (int i = 0; i < ui::frmMain::kPageCount; ++i)
        EXPECT_EQ(window.picLeft->lnkFrame[i]->text(), titles[i]);

    QTreeWidget* results = window.resultsPage->treeResults;
    ASSERT_EQ(results->topLevelItemCount(), 1);
    EXPECT_EQ(results->topLevelItem(0)->text(0),
              QStringLiteral("To protect your files click protect on the previous page"));
    EXPECT_EQ(selection::nodeKey(results->topLevelItem(0)), QStringLiteral("root"));
    EXPECT_EQ(selection::nodeImage(results->topLevelItem(0)), selection::kImageRoot);
    EXPECT_FALSE(window.resultsPage->cmdViewPage->isEnabled());
    EXPECT_EQ(window.resultsPage->lblResults->text(), QStringLiteral("Scanning for files, please wait..."));
}

TEST_F(frmMainTest, WindowHoldsTheSideBarBesideAnyPage) {
    window.show();
    int widest = 0;
    int tallest = 0;
    for (QWidget* page : window.picFrame) {
        widest = std::max(widest, page->minimumSizeHint().width());
        tallest = std::max(tallest, page->minimumSizeHint().height());
    }
    EXPECT_GE(window.width(), window.picLeft->width() + widest);
    EXPECT_GE(window.height(), std::max(window.picLeft->sizeHint().height(), tallest));
    window.resize(10, 10);
    EXPECT_GE(window.width(), window.picLeft->sizeHint().width() + widest);
}

struct PageStep {
    int page;
    const char* nextCaption;
    bool backEnabled;
};

TEST_F(frmMainTest, NextWalksThroughThePagesAndBackReturns) {
    next();
    pickFile(QStringLiteral("/web/a.htm"));
    const PageStep steps[] = {{2, "&Next >>", true}, {3, "&Next >>", true}, {4, "&Protect", true}};
    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Next >>"));
    EXPECT_TRUE(window.cmdPrev->isEnabled());
    expectHighlightedRow(1);
    expectOnlyPageEnabled(1);
    for (const PageStep& step : steps) {
        next();
        EXPECT_EQ(window.currentPage(), step.page);
        EXPECT_EQ(window.cmdNext->text(), QString::fromLatin1(step.nextCaption)) << "page " << step.page;
        EXPECT_EQ(window.cmdPrev->isEnabled(), step.backEnabled);
        EXPECT_TRUE(window.cmdNext->isEnabled());
        expectHighlightedRow(step.page);
        expectOnlyPageEnabled(step.page);
    }
    window.cmdPrev->click();
    EXPECT_EQ(window.currentPage(), 3);
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Next >>"));
    for (int page = 2; page >= 0; --page)
        window.cmdPrev->click();
    EXPECT_EQ(window.currentPage(), 0);
    EXPECT_FALSE(window.cmdPrev->isEnabled());
}

TEST_F(frmMainTest, NextOnPickFilesNeedsAnEntry) {
    next();
    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_FALSE(window.cmdNext->isEnabled());

    window.pickFilesPage->cmdAddFile->click(); // cancelled
    EXPECT_FALSE(window.cmdNext->isEnabled());

    pickFile(QStringLiteral("/web/a.htm"));
    EXPECT_TRUE(window.cmdNext->isEnabled());

    tree()->rootNode()->child(0)->setSelected(true);
    window.pickFilesPage->cmdRemoveFolder->click();
    EXPECT_FALSE(window.cmdNext->isEnabled());
}

TEST_F(frmMainTest, RestartLandsOnPickFilesWithAnEmptySelectionAndTheSameOptions) {
    pickFolder(program.makeFolder(QStringLiteral("empty")));
    tree()->rootNode()->child(0)->setSelected(true);
    ASSERT_TRUE(window.pickFilesPage->cmdRemoveFolder->isEnabled());
    goToPage(2);
    window.storeFilesPage->optSave[2]->setChecked(true);
    goToPage(4);
    window.scriptsPage->chkScript[0]->setChecked(true);
    ASSERT_TRUE(protect());
    EXPECT_EQ(window.cmdNext->text(), QStringLiteral("&Restart"));

    next();

    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_EQ(selection::countNodes(tree()), 1);
    EXPECT_FALSE(window.cmdNext->isEnabled());
    EXPECT_FALSE(window.pickFilesPage->cmdRemoveFolder->isEnabled());
    EXPECT_TRUE(window.storeFilesPage->optSave[2]->isChecked());
    EXPECT_TRUE(window.scriptsPage->chkScript[0]->isChecked());
    EXPECT_EQ(window.resultsPage->treeResults->topLevelItemCount(), 1);
    EXPECT_EQ(window.resultsPage->treeResults->topLevelItem(0)->text(0),
              QStringLiteral("To protect your files click protect on the previous page"));
}

TEST_F(frmMainTest, QuitQuestionAnsweredNoKeepsTheWindow) {
    window.show();
    next();
    dialogs.answers.enqueue(QMessageBox::No);

    window.cmdExit->click();

    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.currentPage(), 1);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, kQuit);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillora"));
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(dialogs.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(frmMainTest, QuitQuestionAnsweredYesClosesTheWindow) {
    window.show();
    dialogs.answers.enqueue(QMessageBox::Yes);

    window.close();

    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kQuit});
}

TEST_F(frmMainTest, SixthClickOnTheWelcomeImageThanksTheUser) {
    window.show();
    ui::WelcomePage* welcome = window.welcomePage;
    for (int click = 1; click <= 5; ++click)
        QTest::mouseClick(welcome->imgMain, Qt::LeftButton);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(welcome->imgMain->isVisible());

    QTest::mouseClick(welcome->imgMain, Qt::LeftButton);

    const QString thanks = QStringLiteral("Thanks for using Quillora!\nVisit us on the Web at www.example.com");
    ASSERT_EQ(dialogs.messageTexts(), QStringList{thanks});
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillora"));
    EXPECT_FALSE(welcome->imgMain->isVisible());
    EXPECT_FALSE(welcome->lblEgg->isVisible());
    EXPECT_TRUE(welcome->imgEgg->isVisible());

    window.imgMain_Click();
    EXPECT_EQ(dialogs.messages.size(), 2);
}

TEST_F(frmMainTest, SideBarTitlesDoNotChangeThePage) {
    window.show();
    QTest::mouseClick(window.picLeft->lnkFrame[3], Qt::LeftButton);
    EXPECT_EQ(window.currentPage(), 0);
    expectHighlightedRow(0);
}

TEST_F(frmMainTest, WebLinkOpensTheDisplayedAddress) {
    window.show();
    QTest::mouseClick(window.welcomePage->HyperLink21, Qt::LeftButton);
    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.urls[0], QUrl(QStringLiteral("http://www.example.com")));
}

TEST_F(frmMainTest, EnterPressesNext) {
    showAndActivate();
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(window.currentPage(), 1);

    pickFile(QStringLiteral("/web/a.htm"));
    next();
    window.storeFilesPage->chkCopyrightNotice->setChecked(true);
    window.storeFilesPage->txtCopyrightNotice->setFocus();
    QTest::keyClick(window.storeFilesPage->txtCopyrightNotice, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(window.currentPage(), 3);
    // With Shift or Control held, Enter is left to the widgets.
    QTest::keyClick(&window, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(window.currentPage(), 3);
}

TEST_F(frmMainTest, ButtonsAnswerTheirMnemonics) {
    showAndActivate();
    // A mnemonic clicks its button with a short animation, so the click lands a moment later.
    QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.currentPage() == 1; }, kEventBoundMs));
    QTest::keyClick(&window, Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.currentPage() == 0; }, kEventBoundMs));

    // Add File and Add Folder share their letter: Alt+A moves between them instead of opening a picker.
    QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.currentPage() == 1; }, kEventBoundMs));
    QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
    QWidget* first = QApplication::focusWidget();
    QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
    QWidget* second = QApplication::focusWidget();
    EXPECT_TRUE((first == window.pickFilesPage->cmdAddFile && second == window.pickFilesPage->cmdAddFolder) ||
                (first == window.pickFilesPage->cmdAddFolder && second == window.pickFilesPage->cmdAddFile));
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_TRUE(dialogs.folderRequests.isEmpty());

    dialogs.answers.enqueue(QMessageBox::No);
    QTest::keyClick(&window, Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.isEmpty(); }, kEventBoundMs));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kQuit});
}

} // namespace

namespace {

TEST_F(frmMainTest, NextIsTheOnlyDefaultButtonOnEveryPage) {
    pickFile(QStringLiteral("/web/a.htm"));
    for (int page = 0; page < ui::frmMain::kPageCount; ++page) {
        window.ShowPage(page);
        for (const QPushButton* button : window.findChildren<QPushButton*>()) {
            EXPECT_EQ(button->isDefault(), button == window.cmdNext) << button->objectName().toStdString();
            EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString() << " would take Enter itself";
        }
    }
}

TEST_F(frmMainTest, EnterOnAnEmptyPickFilesDoesNothing) {
    showAndActivate();
    QTest::keyClick(&window, Qt::Key_Return);
    ASSERT_EQ(window.currentPage(), 1);
    ASSERT_FALSE(window.cmdNext->isEnabled());
    // Next was disabled under the focus, which moved on along the chain.
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);

    QTest::keyClick(focused, Qt::Key_Return);
    QTest::keyClick(focused, Qt::Key_Enter, Qt::KeypadModifier);

    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "no quit question, no picker";
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_TRUE(dialogs.folderRequests.isEmpty());
}

TEST_F(frmMainTest, EnterOnAFocusedButtonPressesNextInstead) {
    showAndActivate();
    next();
    const QString folder = program.makeFolder(QStringLiteral("site"));
    dialogs.folderResults.enqueue(folder);
    QTest::keyClick(window.pickFilesPage->cmdAddFolder, Qt::Key_Space); // Space presses the focused button
    ASSERT_EQ(dialogs.folderRequests.size(), 1);
    for (QPushButton* focused : {window.pickFilesPage->cmdAddFolder, window.cmdExit, window.cmdPrev}) {
        const int before = window.currentPage();
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Return);
        EXPECT_EQ(window.currentPage(), before + 1) << focused->objectName().toStdString();
    }
    EXPECT_EQ(dialogs.folderRequests.size(), 1) << "Add Folder was not pressed again";
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "Exit was not pressed";
}

TEST_F(frmMainTest, TheQuitQuestionsAnswerIsNoUnlessChosen) {
    window.show();
    dialogs.answers.enqueue(QMessageBox::No);
    window.close();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].defaultButton, QMessageBox::No);
}

TEST_F(frmMainTest, NextTellsWhyItWouldNotGoOn) {
    struct Step {
        const char* name;
        std::function<void()> act;
        int page;
        const char* reason;
        bool nextEnabled;
    };
    const QString target = program.makeFolder(QStringLiteral("site"));
    const Step steps[] = {
        {"welcome", [] {}, 0, "", true},
        {"nothing picked", [&] { next(); }, 1, "Add a page or a folder to go on", false},
        {"a folder picked", [&] { pickFolder(target); }, 1, "", true},
        {"copying into the picked folder",
         [&] {
             next();
             window.storeFilesPage->optSave[1]->setChecked(true);
             window.storeFilesPage->txtSaveDir->setText(target);
         },
         2, "Please choose another folder to copy to", true},
        {"no password typed",
         [&] {
             next();
             window.encryptionPage->chkPasswordScript->setChecked(true);
         },
         3, "Please Enter a Password", true},
        {"Protect names the first page that would stop the run", [&] { next(); }, 4,
         "Store Files: Please choose another folder to copy to", true},
        {"the target mended there", [&] { window.storeFilesPage->txtSaveDir->setText(target + "-copy"); }, 4,
         "Encryption: Please Enter a Password", true},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(window.currentPage(), step.page) << step.name;
        EXPECT_EQ(window.lblNextReason->text(), QString::fromLatin1(step.reason)) << step.name;
        EXPECT_EQ(window.cmdNext->toolTip(), QString::fromLatin1(step.reason)) << step.name;
        EXPECT_EQ(window.cmdNext->isEnabled(), step.nextEnabled) << step.name << ": the run's own checks still stand";
    }
}

TEST_F(frmMainTest, PathsGivenOnTheCommandLineArePicked) {
    const QString folder = program.makeFolder(QStringLiteral("site"));
    const QString page = program.filePath(QStringLiteral("extra/contact.htm"));
    QDir().mkpath(QFileInfo(page).path());
    QFile(page).open(QIODevice::WriteOnly);
    const QString notes = program.filePath(QStringLiteral("notes.txt"));
    QFile(notes).open(QIODevice::WriteOnly);
    const QString missing = program.filePath(QStringLiteral("gone.htm"));

    window.pickPaths({folder, page, notes, missing});

    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_TRUE(window.cmdNext->isEnabled());
    const auto picks = tree()->selection();
    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(QString::fromStdString(picks[0].path), folder);
    EXPECT_TRUE(picks[0].isFolder);
    EXPECT_EQ(QString::fromStdString(picks[1].path), page);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Not added, as neither a folder nor an .htm or .html page:\n") + notes + "\n" + missing);
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Information);
}

TEST_F(frmMainTest, TheWindowComesBackWithItsSizeAndPlace) {
    QSettings settings(program.filePath(QStringLiteral("window.ini")), QSettings::IniFormat);
    const QRect chosen(QPoint(40, 30), window.sizeHint() + QSize(120, 90));
    {
        ui::frmMain first(program.path(), dialogs, opener);
        first.rememberGeometryIn(&settings);
        first.show();
        first.setGeometry(chosen);
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.geometry() == chosen; }, kEventBoundMs));
        dialogs.answers.enqueue(QMessageBox::Yes);
        first.close();
        ASSERT_FALSE(first.isVisible());
    }
    settings.sync();

    ui::frmMain second(program.path(), dialogs, opener);
    second.rememberGeometryIn(&settings);
    second.show();

    EXPECT_TRUE(QTest::qWaitFor([&] { return second.geometry() == chosen; }, kEventBoundMs))
        << second.geometry().x() << "," << second.geometry().y() << " " << second.width() << "x" << second.height();
}

TEST_F(frmMainTest, AWindowAnsweredNoLeavesItsSettingsAlone) {
    QSettings settings(program.filePath(QStringLiteral("window.ini")), QSettings::IniFormat);
    window.rememberGeometryIn(&settings);
    window.show();
    dialogs.answers.enqueue(QMessageBox::No);
    window.close();
    EXPECT_FALSE(settings.contains(QStringLiteral("window/geometry")));
}

} // namespace
