#include "CaptionCheck.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QLabel>

namespace quillora::testing {

namespace {

QString describe(const QWidget* widget, const QString& caption, const QString& why) {
    const QString name =
        widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className()) : widget->objectName();
    return QStringLiteral("%1 \"%2\": %3").arg(name, caption, why);
}

QString sizeText(const QSize& size) {
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

/// Why the widget's own size does not hold its caption, or the empty string.
QString tooSmall(const QWidget* widget) {
    QSize needed;
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->wordWrap()) {
            const int height = label->heightForWidth(label->width());
            return height > label->height()
                       ? QStringLiteral("needs %1 high at its width, has %2").arg(height).arg(label->height())
                       : QString();
        }
        needed = label->minimumSizeHint();
    } else if (qobject_cast<const QAbstractButton*>(widget) != nullptr) {
        needed = widget->sizeHint();
    } else {
        needed = widget->minimumSizeHint();
    }
    if (widget->width() >= needed.width() && widget->height() >= needed.height())
        return {};
    return QStringLiteral("needs %1, has %2").arg(sizeText(needed), sizeText(widget->size()));
}

/// Why part of the widget lies outside a widget that holds it, or the empty string.
QString clipped(const QWidget* widget, const QWidget* top) {
    const QRect own(widget->mapTo(top, QPoint(0, 0)), widget->size());
    for (const QWidget* holder = widget->parentWidget(); holder != nullptr; holder = holder->parentWidget()) {
        const QRect room(holder->mapTo(top, QPoint(0, 0)), holder->size());
        if (!room.contains(own))
            return QStringLiteral("reaches outside %1").arg(holder->objectName());
        if (holder == top)
            break;
    }
    return {};
}

QString captionOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    return {};
}

bool insideAScrollArea(const QWidget* widget, const QWidget* top) {
    for (const QWidget* holder = widget->parentWidget(); holder != nullptr && holder != top;
         holder = holder->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(holder) != nullptr)
            return true; // scrolled, not cut
    }
    return false;
}

} // namespace

QStringList cutCaptions(const QWidget* top) {
    QStringList cut;
    for (const QWidget* widget : top->findChildren<const QWidget*>()) {
        const QString caption = captionOf(widget);
        if (caption.isEmpty() || !widget->isVisible() || insideAScrollArea(widget, top))
            continue;
        QString why = tooSmall(widget);
        if (why.isEmpty())
            why = clipped(widget, top);
        if (!why.isEmpty())
            cut << describe(widget, caption, why);
    }
    return cut;
}

} // namespace quillora::testing
