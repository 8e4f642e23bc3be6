#include "ui/TabOrder.h"

#include "WindowFixture.h"
#include "ui/EncryptionPage.h"
#include "ui/ResultsPage.h"
#include "ui/ScriptsPage.h"
#include "ui/StoreFilesPage.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>

using namespace quillora;
using quillora::testing::WindowFixture;

namespace {

struct TabCase {
    const char* name;
    int page;
    std::function<void(ui::frmMain&)> prepare; // choices made before the page is shown
    QStringList stops;                         // the page's controls that Tab reaches, in order
};

void PrintTo(const TabCase& tabCase, std::ostream* out) {
    *out << tabCase.name;
}

class TabOrderTest : public WindowFixture, public ::testing::WithParamInterface<TabCase> {
protected:
    void SetUp() override {
        pickFile(QStringLiteral("/web/a.htm"));
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    static QString focused() {
        QWidget* widget = QApplication::focusWidget();
        return widget != nullptr ? widget->objectName() : QStringLiteral("(none)");
    }
    static QStringList walk(qsizetype steps, Qt::KeyboardModifiers modifiers) {
        QStringList seen;
        for (qsizetype i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            seen << focused();
        }
        return seen;
    }
};

TEST_P(TabOrderTest, TabWalksThePageAsSeenThenTheButtons) {
    GetParam().prepare(window);
    window.ShowPage(GetParam().page);
    QStringList expected = GetParam().stops;
    if (GetParam().page > 0)
        expected << QStringLiteral("cmdPrev");
    expected << QStringLiteral("cmdNext") << QStringLiteral("cmdExit");
    window.cmdExit->setFocus();

    EXPECT_EQ(walk(expected.size(), Qt::NoModifier), expected);

    QStringList backwards(expected.rbegin() + 1, expected.rend());
    backwards << QStringLiteral("cmdExit");
    EXPECT_EQ(walk(backwards.size(), Qt::ShiftModifier), backwards);
}

const auto nothing = [](ui::frmMain&) {};

INSTANTIATE_TEST_SUITE_P(
    Pages, TabOrderTest,
    ::testing::Values(
        TabCase{"Welcome", 0, nothing, {"HyperLink21"}},
        TabCase{"PickFiles", 1, nothing, {"treeFolders", "cmdAddFile", "cmdAddFolder", "cmdRestoreFolder"}},
        TabCase{"PickFilesWithAnEntrySelected",
                1,
                [](ui::frmMain& w) { w.pickFilesPage->treeFolders->rootNode()->child(0)->setSelected(true); },
                {"treeFolders", "cmdAddFile", "cmdAddFolder", "cmdRemoveFolder", "cmdRestoreFolder"}},
        TabCase{"StoreFiles", 2, nothing, {"optSave(0)", "chkBackups", "chkCopyrightNotice"}},
        TabCase{"StoreFilesCopyToFolderWithNotice",
                2,
                [](ui::frmMain& w) {
                    w.storeFilesPage->optSave[1]->setChecked(true);
                    w.storeFilesPage->chkCopyrightNotice->setChecked(true);
                },
                {"optSave(1)", "txtSaveDir", "cmdSelectDirectory", "chkCopyOthers", "chkCopyrightNotice",
                 "txtCopyrightNotice"}},
        TabCase{"StoreFilesNewProtectedFiles",
                2,
                [](ui::frmMain& w) { w.storeFilesPage->optSave[2]->setChecked(true); },
                {"optSave(2)", "chkCopyrightNotice"}},
        TabCase{"Encryption", 3, nothing, {"optProtect(2)", "chkPasswordScript"}},
        TabCase{"EncryptionWholePageWithPassword",
                3,
                [](ui::frmMain& w) {
                    w.encryptionPage->optProtect[3]->setChecked(true);
                    w.encryptionPage->chkPasswordScript->setChecked(true);
                },
                {"optProtect(3)", "chkPasswordScript", "chkEncrypt", "txtPassword", "chkShowPassword"}},
        TabCase{"EncryptionEncrypting",
                3,
                [](ui::frmMain& w) {
                    w.encryptionPage->chkPasswordScript->setChecked(true);
                    w.encryptionPage->chkEncrypt->setChecked(true);
                },
                {"chkPasswordScript", "chkEncrypt", "txtPassword", "chkShowPassword", "txtPasswordAgain",
                 "spnRememberDays", "chkUnlockTitle", "txtKeyFile", "txtKeyLevel", "chkHideEncrypted"}},
        TabCase{"Scripts",
                4,
                nothing,
                {"chkScript(0)", "chkScript(1)", "chkScript(3)", "chkScript(4)", "chkScript(5)", "chkScript(6)",
                 "chkScript(9)", "chkScript(10)", "chkScript(11)", "chkScript(12)", "chkStrictCsp"}},
        TabCase{"ScriptsWithRightClickWarning",
                4,
                [](ui::frmMain& w) {
                    w.scriptsPage->chkScript[0]->setChecked(true);
                    w.scriptsPage->chkRightMouse->setChecked(true);
                },
                {"chkScript(0)", "chkScript(1)", "chkScript(3)", "chkScript(4)", "chkScript(5)", "chkScript(6)",
                 "chkScript(9)", "chkScript(10)", "chkScript(11)", "chkScript(12)", "chkRightMouse",
                 "txtRightClickWarning", "chkStrictCsp"}},
        TabCase{"ScriptsWithCopyAttribution",
                4,
                [](ui::frmMain& w) { w.scriptsPage->chkScript[engine::kScriptCopyAttribution]->setChecked(true); },
                {"chkScript(0)", "chkScript(1)", "chkScript(3)", "chkScript(4)", "chkScript(5)", "chkScript(6)",
                 "chkScript(9)", "chkScript(10)", "chkScript(11)", "chkScript(12)", "txtCopyAttribution",
                 "chkStrictCsp"}},
        TabCase{"Results", 5, nothing, {"treeResults"}},
        TabCase{"ResultsWithASelectedResult",
                5,
                [](ui::frmMain& w) {
                    w.resultsPage->AddResultNode({"/web/a.htm", ""}, "/web/a.htm");
                    w.resultsPage->treeResults->setCurrentItem(w.resultsPage->treeResults->topLevelItem(0));
                },
                {"treeResults", "cmdOpenFolder", "cmdViewPage"}},
        TabCase{"ResultsOfAnOverwriteRunWithBackups",
                5,
                [](ui::frmMain& w) {
                    w.resultsPage->AddResultNode({"/web/a.htm", ""}, "/web/a.htm");
                    w.resultsPage->treeResults->setCurrentItem(w.resultsPage->treeResults->topLevelItem(0));
                    w.resultsPage->cmdRestore->show();
                },
                {"treeResults", "cmdRestore", "cmdOpenFolder", "cmdViewPage"}}),
    [](const auto& info) { return std::string(info.param.name); });

class OptionGroupTest : public TabOrderTest {};

TEST_F(OptionGroupTest, ArrowsMoveWithinTheGroupAndTabLeavesFromTheNewChoice) {
    window.ShowPage(2);
    window.cmdExit->setFocus();
    walk(1, Qt::NoModifier);
    ASSERT_EQ(focused(), QStringLiteral("optSave(0)"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);

    EXPECT_EQ(focused(), QStringLiteral("optSave(1)"));
    EXPECT_TRUE(window.storeFilesPage->optSave[1]->isChecked());
    EXPECT_EQ(walk(4, Qt::NoModifier),
              (QStringList{"txtSaveDir", "cmdSelectDirectory", "chkCopyOthers", "chkCopyrightNotice"}));
    EXPECT_EQ(walk(4, Qt::ShiftModifier),
              (QStringList{"chkCopyOthers", "cmdSelectDirectory", "txtSaveDir", "optSave(1)"}));
}

TEST_F(OptionGroupTest, TabEntersOnAChoiceKeptOverRestart) {
    window.ShowPage(3);
    window.cmdExit->setFocus();
    walk(1, Qt::NoModifier);
    ASSERT_EQ(focused(), QStringLiteral("optProtect(2)"));
    window.encryptionPage->optProtect[0]->setChecked(true); // chosen while the group held the focus elsewhere
    window.ShowPage(4);
    window.ShowPage(3);
    window.cmdExit->setFocus();

    EXPECT_EQ(walk(1, Qt::NoModifier), QStringList{"optProtect(0)"});
}

TEST(KeepTabStopOnChosenTest, AGroupWithoutAChoiceKeepsEveryStop) {
    QWidget parent;
    QRadioButton first(&parent);
    QRadioButton second(&parent);
    ui::keepTabStopOnChosen({&first, &second});
    EXPECT_TRUE(first.focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(second.focusPolicy() & Qt::TabFocus);

    second.setChecked(true);
    EXPECT_FALSE(first.focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(second.focusPolicy() & Qt::TabFocus);
}

} // namespace
