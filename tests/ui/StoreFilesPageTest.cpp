#include "ui/StoreFilesPage.h"

#include "FakeDialogService.h"
#include "TempFolder.h"
#include "WindowFixture.h"
#include "selection/LastPathMemory.h"
#include "selection/Pickers.h"
#include "ui/EncryptionPage.h"

#include <QCheckBox>
#include <QClipboard>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillora;
using quillora::testing::FakeDialogService;
using quillora::testing::TempFolder;
using quillora::testing::WindowFixture;

namespace {

const QString kOverwriteHelp = QStringLiteral(
    "All current files will be replaced with their protected versions - We highly recommend you make backups");

void hover(QWidget* widget) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(widget, &enter);
}

class StoreFilesPageTest : public ::testing::Test {
protected:
    TempFolder program;
    FakeDialogService dialogs;
    selection::LastPathMemory memory{program.path()};
    selection::Pickers pickers{dialogs, memory};
    ui::StoreFilesPage page{dialogs, pickers, memory};

    /// Types into the notice box, which its check box has enabled.
    void typeNotice(const QString& keys) {
        page.chkCopyrightNotice->setChecked(true);
        QTest::keyClicks(page.txtCopyrightNotice, keys);
    }
};

TEST_F(StoreFilesPageTest, StartValues) {
    EXPECT_TRUE(page.optSave[0]->isChecked());
    EXPECT_EQ(page.optSave[0]->text(), QStringLiteral("Overwrite existing files"));
    EXPECT_EQ(page.optSave[1]->text(), QStringLiteral("Copy to new folder"));
    EXPECT_EQ(page.optSave[2]->text(), QStringLiteral("Create new protected files"));
    EXPECT_TRUE(page.chkBackups->isChecked());
    EXPECT_TRUE(page.chkBackups->isEnabled());
    EXPECT_EQ(page.chkBackups->text(), QStringLiteral("Make backup of all replaced files"));
    EXPECT_TRUE(page.txtSaveDir->text().isEmpty());
    EXPECT_FALSE(page.txtSaveDir->isEnabled());
    EXPECT_FALSE(page.cmdSelectDirectory->isEnabled());
    EXPECT_EQ(page.cmdSelectDirectory->text(), QStringLiteral("..."));
    EXPECT_EQ(page.chkCopyOthers->text(), QStringLiteral("Copy the other files too"));
    EXPECT_TRUE(page.chkCopyOthers->isChecked());
    EXPECT_FALSE(page.chkCopyOthers->isEnabled());
    EXPECT_TRUE(page.lblWarning3->isHidden());
    EXPECT_FALSE(page.chkCopyrightNotice->isChecked());
    EXPECT_EQ(page.chkCopyrightNotice->text(), QStringLiteral("Insert notice at the top of source files"));
    EXPECT_FALSE(page.txtCopyrightNotice->isEnabled());
    EXPECT_TRUE(page.txtCopyrightNotice->text().contains(QStringLiteral("2005")));
    EXPECT_TRUE(page.txtCopyrightNotice->text().endsWith(QStringLiteral("All Rights Reserved.")));
    EXPECT_EQ(page.lblOutputInfo->text(), kOverwriteHelp);

    engine::ProtectionOptions options;
    options.makeBackups = false;
    page.fill(options);
    EXPECT_EQ(options.storageMode, engine::StorageMode::Overwrite);
    EXPECT_TRUE(options.makeBackups);
    EXPECT_FALSE(options.insertNotice);
    EXPECT_EQ(options.noticeText, engine::ProtectionOptions().noticeText);
    options.copyOtherFiles = false;
    page.fill(options);
    EXPECT_TRUE(options.copyOtherFiles);
}

struct StorageCase {
    int index;
    bool backups;
    bool folder; // the target folder's box and button, and "Copy the other files too"
};

class StorageModeTest : public StoreFilesPageTest, public ::testing::WithParamInterface<StorageCase> {};

TEST_P(StorageModeTest, ChoosingAModeEnablesItsControls) {
    page.txtSaveDir->setText(QStringLiteral("/out"));
    page.chkBackups->setChecked(false);
    page.chkCopyOthers->setChecked(false);
    page.optSave[GetParam().index == 1 ? 2 : 1]->setChecked(true);

    page.optSave[GetParam().index]->setChecked(true);

    EXPECT_EQ(page.chkBackups->isEnabled(), GetParam().backups);
    EXPECT_EQ(page.txtSaveDir->isEnabled(), GetParam().folder);
    EXPECT_EQ(page.cmdSelectDirectory->isEnabled(), GetParam().folder);
    EXPECT_EQ(page.chkCopyOthers->isEnabled(), GetParam().folder);
    // Disabling keeps the values.
    EXPECT_EQ(page.txtSaveDir->text(), QStringLiteral("/out"));
    EXPECT_FALSE(page.chkBackups->isChecked());
    EXPECT_FALSE(page.chkCopyOthers->isChecked());
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_EQ(static_cast<int>(options.storageMode), GetParam().index);
    EXPECT_EQ(options.targetFolder, "/out");
    EXPECT_FALSE(options.copyOtherFiles);
}

INSTANTIATE_TEST_SUITE_P(Modes, StorageModeTest,
                         ::testing::Values(StorageCase{0, true, false}, StorageCase{1, false, true},
                                           StorageCase{2, false, false}));

TEST_F(StoreFilesPageTest, HoverShowsTheModesHelpAndLeavesItThere) {
    hover(page.optSave[1]);
    EXPECT_EQ(page.lblOutputInfo->text(),
              QStringLiteral("Files will be copied to this new folder, with their folder structures intact"));
    hover(page.optSave[2]);
    EXPECT_EQ(page.lblOutputInfo->text(),
              QStringLiteral("Protected files will be placed in the same folders with a protected_ suffix"));
    hover(page.chkBackups); // no help of its own
    page.optSave[1]->setChecked(true);
    EXPECT_EQ(page.lblOutputInfo->text(),
              QStringLiteral("Protected files will be placed in the same folders with a protected_ suffix"));
    hover(page.optSave[0]);
    EXPECT_EQ(page.lblOutputInfo->text(), kOverwriteHelp);
    page.optSave[1]->setChecked(true);
    hover(page.chkCopyOthers);
    EXPECT_TRUE(page.lblOutputInfo->text().startsWith(QStringLiteral("The images, style sheets, scripts")))
        << page.lblOutputInfo->text().toStdString();
}

TEST_F(StoreFilesPageTest, NoticeBoxFollowsItsCheckBoxAndTakesAnyText) {
    page.chkCopyrightNotice->setChecked(true);
    EXPECT_TRUE(page.txtCopyrightNotice->isEnabled());

    page.txtCopyrightNotice->clear();
    QTest::keyClicks(page.txtCopyrightNotice, QStringLiteral("a 'b' \"c\" \\d"));
    EXPECT_EQ(page.txtCopyrightNotice->text(), QStringLiteral("a 'b' \"c\" \\d"));
    EXPECT_EQ(dialogs.beeps, 0);

    page.chkCopyrightNotice->setChecked(false);
    EXPECT_FALSE(page.txtCopyrightNotice->isEnabled());
    EXPECT_EQ(page.txtCopyrightNotice->text(), QStringLiteral("a 'b' \"c\" \\d"));
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_EQ(options.noticeText, u"a 'b' \"c\" \\d");
}

struct RefusedNotice {
    const char* name;
    const char* typed; // ends with the refused key
    const char* left;  // what the box holds afterwards
    int beeps;
};

void PrintTo(const RefusedNotice& row, std::ostream* out) {
    *out << row.name;
}

class NoticeRefusalTest : public StoreFilesPageTest, public ::testing::WithParamInterface<RefusedNotice> {};

TEST_P(NoticeRefusalTest, TheKeyThatWouldEndTheCommentIsDroppedWithAWarningAndABeep) {
    page.txtCopyrightNotice->clear();
    typeNotice(QString::fromUtf8(GetParam().typed));

    EXPECT_EQ(page.txtCopyrightNotice->text(), QString::fromUtf8(GetParam().left));
    EXPECT_EQ(dialogs.beeps, GetParam().beeps);
    EXPECT_FALSE(page.lblWarning3->isHidden());

    QTest::keyClick(page.txtCopyrightNotice, Qt::Key_Backspace); // the next accepted edit
    EXPECT_TRUE(page.lblWarning3->isHidden());
}

INSTANTIATE_TEST_SUITE_P(Notices, NoticeRefusalTest,
                         ::testing::Values(RefusedNotice{"EndOfAComment", "(c) me -->", "(c) me --", 1},
                                           RefusedNotice{"TheOtherEnd", "(c) --!>", "(c) --!", 1},
                                           RefusedNotice{"Twice", "a-->b-->", "a--b--", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreFilesPageTest, ANoticeEndingTheCommentIsNotPastedEither) {
    page.chkCopyrightNotice->setChecked(true);
    page.txtCopyrightNotice->setText(QStringLiteral("(c) me "));
    QGuiApplication::clipboard()->setText(QStringLiteral("<b>--!></b>"));

    page.txtCopyrightNotice->end(false);
    page.txtCopyrightNotice->paste();
    QGuiApplication::clipboard()->setText(QStringLiteral("all --> rights"));
    page.txtCopyrightNotice->paste();

    EXPECT_EQ(page.txtCopyrightNotice->text(), QStringLiteral("(c) me "));
    EXPECT_EQ(dialogs.beeps, 2);
    EXPECT_FALSE(page.lblWarning3->isHidden());

    // A dash typed before "->" ends the comment as surely.
    page.txtCopyrightNotice->setText(QStringLiteral("a->"));
    page.txtCopyrightNotice->setCursorPosition(1);
    QTest::keyClick(page.txtCopyrightNotice, Qt::Key_Minus);
    EXPECT_EQ(page.txtCopyrightNotice->text(), QStringLiteral("a->"));
    EXPECT_EQ(dialogs.beeps, 3);
}

TEST_F(StoreFilesPageTest, TheWarningStandsDirectlyAboveTheNoticeBox) {
    typeNotice(QStringLiteral("-->"));
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    const QRect label(page.lblWarning3->mapTo(&page, QPoint(0, 0)), page.lblWarning3->size());
    const QRect box(page.txtCopyrightNotice->mapTo(&page, QPoint(0, 0)), page.txtCopyrightNotice->size());
    ASSERT_TRUE(page.lblWarning3->isVisible());
    EXPECT_LE(label.bottom(), box.top());
    EXPECT_LE(box.top() - label.bottom(), 12) << "nothing stands between them";
    EXPECT_LT(label.left(), box.right());
    EXPECT_GE(label.left(), box.left());
}

TEST_F(StoreFilesPageTest, EveryOtherNoticeIsTakenAsTyped) {
    const QString texts[] = {
        QStringLiteral("a 'b' \"c\" \\d"),
        QStringLiteral("(c) 2026 <me> -- all rights -> reserved - <!-- nested"),
        QStringLiteral("-- > --! > -!> ->"),
        QStringLiteral("<!- - >> -=> --=>"),
    };
    for (const QString& text : texts) {
        page.txtCopyrightNotice->clear();
        typeNotice(text);
        EXPECT_EQ(page.txtCopyrightNotice->text(), text);
        engine::ProtectionOptions options;
        page.fill(options);
        EXPECT_EQ(options.noticeText, text.toStdU16String());
    }
    // Letters and dashes the test cannot type, some only looking like the comment's end.
    const QString pasted = QStringLiteral("\u00a9 caf\u00e9 \u2014> \u2013\u2013> \u2212\u2212>");
    page.txtCopyrightNotice->clear();
    page.txtCopyrightNotice->insert(pasted);
    EXPECT_EQ(page.txtCopyrightNotice->text(), pasted);
    EXPECT_EQ(dialogs.beeps, 0);
    EXPECT_TRUE(page.lblWarning3->isHidden());
}

TEST_F(StoreFilesPageTest, TargetFolderIsPickedFromTheRememberedFolder) {
    TempFolder disk;
    memory.remember(disk.path());
    page.optSave[1]->setChecked(true);
    dialogs.folderResults.enqueue(QStringLiteral("/out/site"));

    page.cmdSelectDirectory->click();

    ASSERT_EQ(dialogs.folderRequests.size(), 1);
    EXPECT_EQ(dialogs.folderRequests[0].prompt, QStringLiteral("Please select where to save to "));
    EXPECT_EQ(dialogs.folderRequests[0].initialFolder, disk.path());
    EXPECT_EQ(page.txtSaveDir->text(), QStringLiteral("/out/site"));
    EXPECT_EQ(memory.ReadLastPath(), disk.path()) << "the target folder is not remembered";

    page.cmdSelectDirectory->click(); // cancelled
    EXPECT_EQ(page.txtSaveDir->text(), QStringLiteral("/out/site"));
}

class RestartTest : public WindowFixture, public ::testing::WithParamInterface<int> {};

TEST_P(RestartTest, InformationShowsTheHelpOfTheModeThatStaysChosen) {
    const int mode = GetParam();
    const QString help[] = {
        kOverwriteHelp, QStringLiteral("Files will be copied to this new folder, with their folder structures intact"),
        QStringLiteral("Protected files will be placed in the same folders with a protected_ suffix")};
    ui::StoreFilesPage* store = window.storeFilesPage;
    pickFolder(program.makeFolder(QStringLiteral("empty")));
    goToPage(2);
    store->optSave[mode]->setChecked(true);
    store->txtSaveDir->setText(program.makeFolder(QStringLiteral("out")));
    hover(store->optSave[(mode + 1) % 3]); // the help shown last is another mode's
    ASSERT_TRUE(protect());

    next(); // Restart

    EXPECT_TRUE(store->optSave[mode]->isChecked());
    EXPECT_EQ(store->lblOutputInfo->text(), help[mode]);
}

INSTANTIATE_TEST_SUITE_P(Modes, RestartTest, ::testing::Values(0, 1, 2));

TEST_F(StoreFilesPageTest, TheFolderForTheOriginalsIsOfferedForAnEncryptedOverwriteRunOnly) {
    EXPECT_TRUE(page.framBackupDir->isHidden());
    page.setEncrypting(true);
    EXPECT_FALSE(page.framBackupDir->isHidden());
    EXPECT_TRUE(page.framBackupDir->isEnabled());
    page.chkBackups->setChecked(false);
    EXPECT_FALSE(page.framBackupDir->isEnabled()) << "no backups, no originals kept";
    page.chkBackups->setChecked(true);
    page.optSave[1]->setChecked(true);
    EXPECT_TRUE(page.framBackupDir->isHidden()) << "a copy leaves the originals where they are";
    page.optSave[0]->setChecked(true);
    page.setEncrypting(false);
    EXPECT_TRUE(page.framBackupDir->isHidden());

    dialogs.folderResults.enqueue(QStringLiteral("/keep/here"));
    page.cmdSelectBackupDir->click();
    ASSERT_EQ(dialogs.folderRequests.size(), 1);
    EXPECT_EQ(dialogs.folderRequests[0].prompt, QStringLiteral("Please select where to keep the originals "));
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_EQ(options.backupFolder, "/keep/here");
}

struct Refused {
    const char* name;
    int mode;
    const char* target;       // below the test's folder
    const char* backupFolder; // below the test's folder
    const char* message;      // %1: the test's folder
    const char* focus;
};

class StoreFilesRefusalTest : public WindowFixture, public ::testing::WithParamInterface<Refused> {
protected:
    QString below(const char* relative) const {
        return *relative == 0 ? QString() : site.filePath(QString::fromLatin1(relative));
    }

    TempFolder site;
};

TEST_P(StoreFilesRefusalTest, ChoicesThatWouldPublishOrLoseWhatTheUserChoseSendThemBackToStoreFiles) {
    const QByteArray page = "<html><head><title>t</title></head><body><p>words</p></body></html>";
    site.writeFile(QStringLiteral("site/a.htm"), page);
    site.writeFile(QStringLiteral("target.txt"), "a file");
    pickFolder(site.filePath(QStringLiteral("site")));
    goToPage(2);
    window.storeFilesPage->optSave[GetParam().mode]->setChecked(true);
    window.storeFilesPage->txtSaveDir->setText(below(GetParam().target));
    window.storeFilesPage->txtBackupDir->setText(below(GetParam().backupFolder));
    goToPage(3);
    window.encryptionPage->chkPasswordScript->setChecked(true);
    window.encryptionPage->chkEncrypt->setChecked(true);
    window.encryptionPage->txtPassword->setText(QStringLiteral("correct horse battery staple"));
    window.encryptionPage->txtPasswordAgain->setText(QStringLiteral("correct horse battery staple"));

    ASSERT_TRUE(protect());

    EXPECT_EQ(window.currentPage(), 2);
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QString::fromLatin1(GetParam().message).replace(QStringLiteral("%1"), site.path())});
    ASSERT_NE(window.focusWidget(), nullptr);
    EXPECT_EQ(window.focusWidget()->objectName(), QString::fromLatin1(GetParam().focus));
    EXPECT_EQ(TempFolder::read(site.filePath(QStringLiteral("site/a.htm"))), page);
    EXPECT_EQ(QDir(site.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"site", "target.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, StoreFilesRefusalTest,
    ::testing::Values(
        Refused{
            "Beside", 2, "", "",
            "Encrypted pages are not written beside their originals: the originals would stay readable in the "
            "folder you publish. Please copy the pages to a new folder, or overwrite them (their originals are then "
            "kept outside the picked folders).",
            "optSave(2)"},
        Refused{"TargetIsAFile", 1, "target.txt", "",
                "The target %1/target.txt is not a folder; please select a folder to copy the protected files to",
                "txtSaveDir"},
        Refused{"OriginalsInsideThePickedFolder", 0, "", "site/kept",
                "The folder for the originals, %1/site/kept, lies within the picked folder %1/site, where they would "
                "be published with the pages; please choose a folder outside it",
                "txtBackupDir"}),
    [](const auto& info) { return std::string(info.param.name); });

/// A site below a temporary folder: site/ (picked), site/out/, other/b.htm (picked on its own), notes.txt.
class CopyTargetMarkTest : public StoreFilesPageTest {
protected:
    CopyTargetMarkTest() {
        disk.writeFile(QStringLiteral("site/a.htm"), "a");
        disk.makeFolder(QStringLiteral("site/out"));
        disk.writeFile(QStringLiteral("other/b.htm"), "b");
        disk.writeFile(QStringLiteral("notes.txt"), "n");
        page.setPicks({{path("site").toStdString(), true}, {path("other/b.htm").toStdString(), false}});
        page.optSave[1]->setChecked(true);
    }
    QString path(const char* relative) const { return disk.filePath(QString::fromLatin1(relative)); }
    QString mark() const { return page.lblSaveDirProblem->isHidden() ? QString() : page.lblSaveDirProblem->text(); }

    TempFolder disk;
};

TEST_F(CopyTargetMarkTest, ATargetTheRunCouldNotUseIsMarkedAsItIsTyped) {
    struct Row {
        const char* name;
        QString target;
        const char* mark;
    };
    const Row rows[] = {
        {"nothing typed", QString(), "Please Select a Folder to Copy the Protected Files To"},
        {"blanks", QStringLiteral("   "), "Please Select a Folder to Copy the Protected Files To"},
        {"a file", path("notes.txt"), "This is a file, not a folder"},
        {"a folder below a file", path("notes.txt/out"), "notes.txt is a file, not a folder"},
        {"a picked folder", path("site"), "This folder is picked to be protected"},
        {"a picked folder spelled another way", path("other/../site/"), "This folder is picked to be protected"},
        {"the folder of a picked page", path("other"), "The copy of b.htm would replace the picked page"},
        {"a new folder", path("public"), ""},
        {"a folder inside a picked one, which the run leaves out", path("site/out"), ""},
    };
    for (const Row& row : rows) {
        page.txtSaveDir->setText(row.target);
        EXPECT_EQ(mark(), QString::fromLatin1(row.mark)) << row.name;
        EXPECT_EQ(page.problem(), QString::fromLatin1(row.mark)) << row.name;
        EXPECT_EQ(page.nextReason().isEmpty(), QString::fromLatin1(row.mark).isEmpty()) << row.name;
    }
}

TEST_F(CopyTargetMarkTest, AMarkShowsOnlyInTheCopyModeAndFollowsAPickedFolder) {
    QSignalSpy changed(&page, &ui::StoreFilesPage::problemChanged);
    page.optSave[0]->setChecked(true);
    EXPECT_EQ(mark(), QString());
    EXPECT_EQ(page.problem(), QString());
    page.optSave[1]->setChecked(true);
    EXPECT_EQ(mark(), QStringLiteral("Please Select a Folder to Copy the Protected Files To"));
    dialogs.folderResults.enqueue(path("site"));

    page.cmdSelectDirectory->click();

    EXPECT_EQ(mark(), QStringLiteral("This folder is picked to be protected"));
    EXPECT_GE(changed.size(), 3);
    page.setPicks({});
    EXPECT_EQ(mark(), QString()) << "the mark follows the picks";
}

TEST_F(CopyTargetMarkTest, ThePickerStartsBesideThePicksNotInsideThem) {
    memory.remember(path("site"));
    page.cmdSelectDirectory->click();
    page.txtSaveDir->setText(path("public/new")); // not made yet: its nearest folder
    page.cmdSelectDirectory->click();

    ASSERT_EQ(dialogs.folderRequests.size(), 2);
    EXPECT_EQ(dialogs.folderRequests[0].initialFolder, disk.path()) << "beside the first pick";
    EXPECT_EQ(dialogs.folderRequests[1].initialFolder, disk.path());
    disk.makeFolder(QStringLiteral("public"));
    page.cmdSelectDirectory->click();
    EXPECT_EQ(dialogs.folderRequests[2].initialFolder, path("public")) << "the target given so far";
}

} // namespace
