// The check behind the window's look test: it must see a caption that is cut, and only such a caption.
#include "CaptionCheck.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

using quillora::testing::cutCaptions;

namespace {

/// A small window of captions, each laid out with the room it asks for.
struct Sample {
    Sample() {
        top.setObjectName(QStringLiteral("top"));
        auto* layout = new QVBoxLayout(&top);
        for (QWidget* widget : std::initializer_list<QWidget*>{label, wrapped, button, check})
            layout->addWidget(widget);
        label->setObjectName(QStringLiteral("label"));
        wrapped->setObjectName(QStringLiteral("wrapped"));
        wrapped->setWordWrap(true);
        button->setObjectName(QStringLiteral("button"));
        check->setObjectName(QStringLiteral("check"));
        top.show();
    }

    QWidget top;
    QLabel* label = new QLabel(QStringLiteral("Select where you would like the protected files to be placed."));
    QLabel* wrapped = new QLabel(QStringLiteral("Files will be copied to this new folder, with their folder "
                                                "structures intact"));
    QPushButton* button = new QPushButton(QStringLiteral("Restore originals in a folder\u2026"));
    QCheckBox* check = new QCheckBox(QStringLiteral("Make backup of all replaced files"));
};

struct Cut {
    const char* name;
    std::function<void(Sample&)> cut;
    const char* seen; // the start of the one line expected
};

void PrintTo(const Cut& row, std::ostream* out) {
    *out << row.name;
}

TEST(CaptionCheckTest, CaptionsGivenTheRoomTheyAskForFit) {
    Sample sample;
    EXPECT_EQ(cutCaptions(&sample.top), QStringList());
}

class CaptionCutTest : public ::testing::TestWithParam<Cut> {};

TEST_P(CaptionCutTest, IsSeenAndNamed) {
    Sample sample;
    GetParam().cut(sample);

    const QStringList seen = cutCaptions(&sample.top);

    ASSERT_EQ(seen.size(), 1) << seen.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(seen[0].startsWith(QString::fromLatin1(GetParam().seen))) << seen[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, CaptionCutTest,
    ::testing::Values(
        Cut{"LabelNarrowerThanItsLine", [](Sample& s) { s.label->setFixedWidth(60); }, "label \"Select where"},
        Cut{"WrappedLabelLowerThanItsLines", [](Sample& s) { s.wrapped->setFixedHeight(4); }, "wrapped \"Files"},
        Cut{"ButtonNarrowerThanItsCaption", [](Sample& s) { s.button->setFixedWidth(40); }, "button \"Restore"},
        Cut{"CheckBoxLowerThanItsCaption", [](Sample& s) { s.check->setFixedHeight(6); }, "check \"Make backup"},
        Cut{"LabelReachingOutsideItsWindow",
            [](Sample& s) {
                auto* outside = new QLabel(QStringLiteral("Welcome"), &s.top);
                outside->setObjectName(QStringLiteral("outside"));
                outside->setGeometry(s.top.width() - 10, 0, 200, 40);
                outside->show();
            },
            "outside \"Welcome\": reaches outside top"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
