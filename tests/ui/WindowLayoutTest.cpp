#include "WindowFixture.h"

#include <QTest>

using namespace quillora;
using quillora::testing::WindowFixture;

namespace {

constexpr QSize kGrowth(300, 200);

struct Anchor {
    const char* name;
    int page;
    const char* widget;
    bool growsWide;   // takes the added width, else keeps its width
    bool anchorRight; // keeps its distance to the right edge, else to the left
    bool checkHeight; // false where the page's headings may wrap differently at another width
    bool growsTall;
    bool anchorBottom;
};

void PrintTo(const Anchor& anchor, std::ostream* out) {
    *out << anchor.name;
}

class WindowLayoutTest : public WindowFixture, public ::testing::WithParamInterface<Anchor> {
protected:
    QRect placeOf(const char* name) {
        window.ShowPage(GetParam().page);
        QApplication::processEvents();
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
        return widget == nullptr ? QRect() : QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    }
};

TEST_P(WindowLayoutTest, TheWindowsGrowthGoesWhereItIsUseful) {
    const Anchor& anchor = GetParam();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QSize start = window.size();
    EXPECT_EQ(start, window.sizeHint()) << "the window starts at the size of the side bar and one page";
    const QRect before = placeOf(anchor.widget);
    ASSERT_TRUE(before.isValid()) << anchor.widget;

    window.resize(start + kGrowth);
    const QRect after = placeOf(anchor.widget);

    EXPECT_EQ(after.width() - before.width(), anchor.growsWide ? kGrowth.width() : 0);
    EXPECT_EQ(after.right() - before.right(), anchor.growsWide || anchor.anchorRight ? kGrowth.width() : 0);
    if (anchor.checkHeight) {
        EXPECT_EQ(after.height() - before.height(), anchor.growsTall ? kGrowth.height() : 0);
        EXPECT_EQ(after.bottom() - before.bottom(), anchor.growsTall || anchor.anchorBottom ? kGrowth.height() : 0);
    }

    window.resize(start);
    EXPECT_EQ(placeOf(anchor.widget), before) << "back at the start size, everything stands where it stood";
}

INSTANTIATE_TEST_SUITE_P(
    Controls, WindowLayoutTest,
    ::testing::Values(Anchor{"SideBar", 0, "picLeft", false, false, true, true, false},
                      Anchor{"Exit", 0, "cmdExit", false, true, true, false, true},
                      Anchor{"Back", 1, "cmdPrev", false, true, true, false, true},
                      Anchor{"SelectionTree", 1, "treeFolders", true, false, true, true, false},
                      Anchor{"AddFile", 1, "cmdAddFile", false, false, true, false, true},
                      Anchor{"Remove", 1, "cmdRemoveFolder", false, true, true, false, true},
                      Anchor{"TargetFolder", 2, "txtSaveDir", true, false, false, false, false},
                      Anchor{"PickTargetFolder", 2, "cmdSelectDirectory", false, true, false, false, false},
                      Anchor{"Notice", 2, "txtCopyrightNotice", true, false, false, false, false},
                      Anchor{"StorageHelp", 2, "lblOutputInfo", true, false, false, false, false},
                      Anchor{"Password", 3, "txtPassword", true, false, false, false, false},
                      Anchor{"Warning", 4, "txtRightClickWarning", true, false, false, false, false},
                      Anchor{"ResultsTree", 5, "treeResults", true, false, true, true, false},
                      Anchor{"ViewPage", 5, "cmdViewPage", false, true, true, false, true},
                      Anchor{"OpenFolder", 5, "cmdOpenFolder", false, true, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
