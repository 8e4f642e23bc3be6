#include "PageStyle.h"

#include <QLabel>
#include <QPalette>

namespace quillora::ui::pagestyle {

namespace {

const QColor kWarningOnLight(176, 0, 0);
const QColor kWarningOnDark(255, 128, 128);
// Perceived brightness (ITU-R BT.601 weights, 0 to 255) below which a window counts as dark.
constexpr double kDarkBelowBrightness = 128;

QLabel* styled(const QString& text, QWidget* parent, qreal scale, bool bold) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

} // namespace

QLabel* heading(const QString& text, QWidget* parent) {
    return styled(text, parent, 1.35, true);
}

QLabel* subheading(const QString& text, QWidget* parent) {
    return styled(text, parent, 1.0, true);
}

QLabel* bodyText(const QString& text, QWidget* parent) {
    return styled(text, parent, 1.0, false);
}

bool isDark(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    return 0.299 * window.red() + 0.587 * window.green() + 0.114 * window.blue() < kDarkBelowBrightness;
}

QColor warningColor(const QPalette& palette) {
    return isDark(palette) ? kWarningOnDark : kWarningOnLight;
}

void markAsWarning(QLabel* label) {
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, warningColor(colors));
    label->setPalette(colors);
    QSizePolicy keepSpace = label->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keepSpace);
}

} // namespace quillora::ui::pagestyle
