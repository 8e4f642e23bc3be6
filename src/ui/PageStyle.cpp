#include "PageStyle.h"

#include <QLabel>

namespace quillora::ui::pagestyle {

namespace {

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

} // namespace quillora::ui::pagestyle
