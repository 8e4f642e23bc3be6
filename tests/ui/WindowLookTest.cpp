// The whole window as the desktop may show it: at its scale (this test runs at 1.5x and 2x through
// QT_SCALE_FACTOR), with a large font, and in a dark theme. At every stop of a walk through the wizard no caption is
// cut and every text reads against what lies behind it.
#include "CaptionCheck.h"
#include "DarkPalette.h"
#include "FakeDialogService.h"
#include "FakeUrlOpener.h"
#include "TempFolder.h"
#include "WindowTour.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <cmath>
#include <gtest/gtest.h>

using namespace quillora;

namespace {

// The contrast a text needs against its background (WCAG's level AA); bold titles read at less.
constexpr double kNeededContrast = 4.5;
constexpr double kNeededContrastBold = 3.0;

double luminance(const QColor& color) {
    const auto channel = [](double value) {
        value /= 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.red()) + 0.7152 * channel(color.green()) + 0.0722 * channel(color.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor behind(const QWidget* widget, const QWidget* top) {
    for (const QWidget* at = widget; at != nullptr && at != top; at = at->parentWidget()) {
        if (at->autoFillBackground())
            return at->palette().color(at->backgroundRole());
    }
    return top->palette().color(QPalette::Window);
}

/// The enabled texts of top that do not stand out enough from their background (disabled ones are greyed on
/// purpose).
QStringList faintTexts(const QWidget* top) {
    QStringList faint;
    for (const QLabel* label : top->findChildren<const QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisible() || !label->isEnabled())
            continue;
        const QColor text = label->palette().color(label->foregroundRole());
        const double ratio = contrast(text, behind(label, top));
        if (ratio < (label->font().bold() ? kNeededContrastBold : kNeededContrast))
            faint << QStringLiteral("%1 \"%2\": %3 on %4, %5:1")
                         .arg(label->objectName(), label->text(), text.name(), behind(label, top).name())
                         .arg(ratio, 0, 'f', 1);
    }
    return faint;
}

/// Lets the window take in what changed: a grown page may make it grow, which lays the page out again.
void settle(const QWidget& window) {
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        const QSize before = window.size();
        QApplication::processEvents();
        if (window.size() == before && round > 0)
            return;
    }
}

struct Look {
    const char* name;
    double fontScale;
    bool dark;
};

void PrintTo(const Look& look, std::ostream* out) {
    *out << look.name;
}

class WindowLookTest : public ::testing::TestWithParam<Look> {
protected:
    void SetUp() override {
        m_font = QApplication::font();
        m_palette = QApplication::palette();
        QFont larger = m_font;
        larger.setPointSizeF(m_font.pointSizeF() * GetParam().fontScale);
        QApplication::setFont(larger);
        if (GetParam().dark)
            QApplication::setPalette(quillora::testing::darkPalette());
    }
    void TearDown() override {
        QApplication::setFont(m_font);
        QApplication::setPalette(m_palette);
    }

    /// Saves what the window shows where QUILLORA_SHOT_FOLDER names a folder, to look at by eye.
    static void keep(QWidget& window, const QString& name) {
        const QString folder = qEnvironmentVariable("QUILLORA_SHOT_FOLDER");
        if (folder.isEmpty())
            return;
        const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
        window.grab().save(
            QStringLiteral("%1/%2-%3x-%4.png").arg(folder, QString::fromLatin1(GetParam().name), scale, name));
    }

private:
    QFont m_font;
    QPalette m_palette;
};

TEST_P(WindowLookTest, NoCaptionIsCutAndEveryTextReadsAtEveryStep) {
    quillora::testing::TempFolder program;
    quillora::testing::TempFolder sample;
    quillora::testing::FakeDialogService dialogs;
    quillora::testing::FakeUrlOpener opener;
    ui::frmMain window(program.path(), dialogs, opener);
    window.show();
    int stops = 0;
    QString failure;

    const bool toured = quillora::testing::tourWindow(
        window, dialogs, sample.path(),
        [&](const QString& name) {
            settle(window);
            ++stops;
            keep(window, name);
            const QStringList cut = quillora::testing::cutCaptions(&window);
            EXPECT_TRUE(cut.isEmpty()) << name.toStdString() << ":\n" << cut.join(QLatin1Char('\n')).toStdString();
            const QStringList faint = faintTexts(&window);
            EXPECT_TRUE(faint.isEmpty()) << name.toStdString() << ":\n" << faint.join(QLatin1Char('\n')).toStdString();
        },
        failure);

    EXPECT_TRUE(toured) << failure.toStdString();
    EXPECT_EQ(stops, 7);
}

INSTANTIATE_TEST_SUITE_P(Looks, WindowLookTest,
                         ::testing::Values(Look{"Plain", 1.0, false}, Look{"LargeFont", 2.0, false},
                                           Look{"Dark", 1.0, true}, Look{"DarkLargeFont", 2.0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
