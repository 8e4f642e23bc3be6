#include "BuddyLabel.h"

#include <QEvent>
#include <QLabel>

namespace quillora::ui {

namespace {

// Watches the buddy for changes of its enabled state (there is no signal for them).
class BuddyWatcher : public QObject {
public:
    explicit BuddyWatcher(QLabel* label) : QObject(label), m_label(label) {
        label->buddy()->installEventFilter(this);
        follow();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            follow();
        return QObject::eventFilter(watched, event);
    }

private:
    // Judged below the label's own parent, so that a whole page being disabled while hidden changes nothing here.
    void follow() { m_label->setEnabled(m_label->buddy()->isEnabledTo(m_label->parentWidget())); }

    QLabel* m_label;
};

} // namespace

void greyWithBuddy(QLabel* label) {
    if (label->buddy() != nullptr)
        new BuddyWatcher(label);
}

} // namespace quillora::ui
