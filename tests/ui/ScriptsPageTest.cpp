#include "ui/ScriptsPage.h"

#include "FakeDialogService.h"

#include <QCheckBox>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillora;
using quillora::testing::FakeDialogService;

namespace {

struct Script {
    std::size_t index;
    const char* caption;
    const char16_t* help;
};

const Script kScripts[] = {
    {0, "Disable right mouse click",
     u"Stop the user from right clicking on your page. This would stop them getting to view source."},
    {1, "Disable text highlighting",
     u"Stop the user from highlighting your text, thus stopping them from copy and pasting text."},
    {3, "Don't display URLs in status bar",
     u"Stop the URL of the link showing in the status bar along the bottom of Internet Explorer. Only old browsers "
     u"honour this: today\u2019s browsers show a link\u2019s address whatever the page says."},
    {4, "Disable printing of pages", u"Stop the user from printing out your page."},
    {5, "Disable clipboard and printscreen",
     u"Stop the text of your page being copied or cut to the clipboard; form fields still copy and paste. No web "
     u"page can stop print screen or other screen shots."},
    {6, "Disable drag and drop", u"Stop elements being dragged from or onto the page, i.e. images or text."},
    {9, "Break out of frames",
     u"If the page has been loaded from within someone else\u2019s site, i.e. A frame redirect your page with break "
     u"out. Today\u2019s browsers refuse it to a page framed by another site."},
    {10, "Disable IE Image Toolbar",
     u"Stop the images showing Image Toolbar. Only old browsers have this toolbar: today\u2019s browsers show none."},
    {11, "Disable Ctrl+C, S, P and U",
     u"Stop Ctrl+C, Ctrl+S, Ctrl+P and Ctrl+U (Cmd on a Mac) copying, saving, printing or showing the source of your "
     u"page; form fields keep every key. No page can stop the browser\u2019s menus, view-source: typed in the "
     u"address bar, the developer tools or screen shots."},
    {12, "Add attribution to copied text",
     u"Put your attribution and the page\u2019s address after any text copied from your page; form fields copy as "
     u"usual. With \u201CDisable clipboard and printscreen\u201D the copy is refused instead. A visitor can still "
     u"delete it after pasting."},
};

class ScriptsPageTest : public ::testing::Test {
protected:
    FakeDialogService dialogs;
    ui::ScriptsPage page{dialogs};
};

class ScriptOptionTest : public ScriptsPageTest, public ::testing::WithParamInterface<Script> {};

TEST_P(ScriptOptionTest, SitsAtItsIndexWithCaptionAndHelp) {
    QCheckBox* box = page.chkScript[GetParam().index];
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromLatin1(GetParam().caption));
    EXPECT_EQ(box->objectName(), QStringLiteral("chkScript(%1)").arg(GetParam().index));
    EXPECT_FALSE(box->isChecked());

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(box, &enter);
    EXPECT_EQ(page.lblScriptInfo->text(), QString::fromStdU16String(GetParam().help));

    box->setChecked(true);
    engine::ProtectionOptions options;
    page.fill(options);
    for (std::size_t i = 0; i < engine::kScriptCount; ++i)
        EXPECT_EQ(options.scripts[i], i == GetParam().index) << "script " << i;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptOptionTest, ::testing::ValuesIn(kScripts),
                         [](const auto& info) { return "Index" + std::to_string(info.param.index); });

TEST_F(ScriptsPageTest, IndicesWithoutAScriptStayEmpty) {
    for (std::size_t hole : {2u, 7u, 8u})
        EXPECT_EQ(page.chkScript[hole], nullptr) << hole;
}

TEST_F(ScriptsPageTest, WarningStartsDisabledWithItsText) {
    EXPECT_FALSE(page.chkRightMouse->isChecked());
    EXPECT_FALSE(page.chkRightMouse->isEnabled());
    EXPECT_EQ(page.chkRightMouse->text(), QStringLiteral("Show warning"));
    EXPECT_FALSE(page.txtRightClickWarning->isEnabled());
    EXPECT_EQ(page.txtRightClickWarning->text(), QStringLiteral("This page is protected!"));
    EXPECT_TRUE(page.lblWarning2->isHidden());
    EXPECT_EQ(page.lblWarning2->text(), QStringLiteral(" \\ \" or ' not allowed"));
    EXPECT_EQ(page.lblWarning2->text().size(), 21);
}

TEST_F(ScriptsPageTest, WarningIsOfferedOnlyWithTheRightClickBlock) {
    QCheckBox* block = page.chkScript[0];

    block->setChecked(true);
    EXPECT_TRUE(page.chkRightMouse->isEnabled());
    EXPECT_FALSE(page.txtRightClickWarning->isEnabled());

    page.chkRightMouse->setChecked(true);
    EXPECT_TRUE(page.txtRightClickWarning->isEnabled());

    block->setChecked(false);
    EXPECT_FALSE(page.chkRightMouse->isEnabled());
    EXPECT_FALSE(page.txtRightClickWarning->isEnabled());
    EXPECT_TRUE(page.chkRightMouse->isChecked());

    block->setChecked(true); // "Show warning" was kept checked: its text box comes back too
    EXPECT_TRUE(page.chkRightMouse->isEnabled());
    EXPECT_TRUE(page.txtRightClickWarning->isEnabled());

    page.chkScript[1]->setChecked(true); // other scripts leave the warning alone
    EXPECT_TRUE(page.txtRightClickWarning->isEnabled());
}

TEST_F(ScriptsPageTest, AttributionIsOfferedWithItsScriptAndFiltered) {
    EXPECT_EQ(page.txtCopyAttribution->text(), QStringLiteral("Source:"));
    EXPECT_FALSE(page.txtCopyAttribution->isEnabled());
    EXPECT_FALSE(page.lblCopyAttribution->isEnabled()) << "greyed with its box";
    EXPECT_TRUE(page.lblWarning3->isHidden());

    page.chkScript[engine::kScriptCopyAttribution]->setChecked(true);
    EXPECT_TRUE(page.txtCopyAttribution->isEnabled());
    EXPECT_TRUE(page.lblCopyAttribution->isEnabled());
    page.txtCopyAttribution->clear();
    QTest::keyClicks(page.txtCopyAttribution, QStringLiteral("From \"me\""));
    EXPECT_EQ(page.txtCopyAttribution->text(), QStringLiteral("From me"));
    EXPECT_EQ(dialogs.beeps, 2);
    EXPECT_EQ(page.lblWarning3->text(), page.lblWarning2->text());

    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_TRUE(options.script(engine::kScriptCopyAttribution));
    EXPECT_EQ(options.copyAttribution, u"From me");

    page.chkScript[engine::kScriptClipboard]->setChecked(true);
    EXPECT_TRUE(page.txtCopyAttribution->isEnabled()) << "only its own box disables it";
    page.chkScript[engine::kScriptCopyAttribution]->setChecked(false);
    EXPECT_FALSE(page.txtCopyAttribution->isEnabled());
    EXPECT_EQ(page.txtCopyAttribution->text(), QStringLiteral("From me")) << "kept while disabled";
}

TEST_F(ScriptsPageTest, WarningTextIsFiltered) {
    page.chkScript[0]->setChecked(true);
    page.chkRightMouse->setChecked(true);
    page.txtRightClickWarning->clear();

    QTest::keyClicks(page.txtRightClickWarning, QStringLiteral("Don't copy \"me\" \\ please"));

    EXPECT_EQ(page.txtRightClickWarning->text(), QStringLiteral("Dont copy me  please"));
    EXPECT_EQ(dialogs.beeps, 4);
    EXPECT_TRUE(page.lblWarning2->isHidden()) << "the last key was allowed";

    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_TRUE(options.showRightClickWarning);
    EXPECT_EQ(options.rightClickWarning, u"Dont copy me  please");
}

} // namespace
