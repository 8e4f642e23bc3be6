#include "HoverHelp.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

namespace quillora::ui {

HoverHelp::HoverHelp(QLabel* label, QObject* parent) : QObject(parent), m_label(label) {}

void HoverHelp::add(QWidget* option, const QString& helpText) {
    m_texts.insert(option, helpText);
    option->installEventFilter(this);
}

bool HoverHelp::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::Enter || type == QEvent::MouseMove || type == QEvent::FocusIn) {
        const auto found = m_texts.constFind(watched);
        if (found != m_texts.constEnd())
            m_label->setText(*found);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillora::ui
