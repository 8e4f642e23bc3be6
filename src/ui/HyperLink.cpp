#include "HyperLink.h"

#include "selection/AppInfo.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace quillora::ui {

namespace {

const QColor kLinkText(0, 51, 153);
const QColor kLinkTextOnDark(Qt::white);
// Perceived brightness (ITU-R BT.601 weights, 0 to 255) below which the text turns white.
constexpr double kDarkBelowBrightness = 160;

bool isDark(const QColor& color) {
    return 0.299 * color.red() + 0.587 * color.green() + 0.114 * color.blue() < kDarkBelowBrightness;
}

} // namespace

HyperLink::HyperLink(QWidget* parent) : QWidget(parent), lblLink(new QLabel(this)) {
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setText(QString::fromLatin1(selection::kWebAddress));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lblLink);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackColor(palette().color(QPalette::Button));
}

QString HyperLink::text() const {
    return lblLink->text();
}

void HyperLink::setText(const QString& text) {
    lblLink->setText(text);
}

QColor HyperLink::BackColor() const {
    return palette().color(QPalette::Window);
}

void HyperLink::setBackColor(const QColor& color) {
    QPalette colors = palette();
    colors.setColor(QPalette::Window, color);
    colors.setColor(QPalette::WindowText, isDark(color) ? kLinkTextOnDark : kLinkText);
    setPalette(colors);
}

bool HyperLink::isUnderlined() const {
    return lblLink->font().underline();
}

void HyperLink::enterEvent(QEnterEvent* event) {
    setUnderlined(true);
    QWidget::enterEvent(event);
}

void HyperLink::leaveEvent(QEvent* event) {
    setUnderlined(false);
    QWidget::leaveEvent(event);
}

void HyperLink::focusInEvent(QFocusEvent* event) {
    setUnderlined(true);
    QWidget::focusInEvent(event);
}

void HyperLink::focusOutEvent(QFocusEvent* event) {
    setUnderlined(false);
    QWidget::focusOutEvent(event);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Click();
    QWidget::mouseReleaseEvent(event);
}

void HyperLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space)
        return QWidget::keyPressEvent(event);
    Q_EMIT Click();
}

void HyperLink::setUnderlined(bool underlined) {
    QFont font = lblLink->font();
    font.setUnderline(underlined);
    lblLink->setFont(font);
}

} // namespace quillora::ui
