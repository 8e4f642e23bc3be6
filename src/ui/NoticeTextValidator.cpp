#include "NoticeTextValidator.h"

#include "run/TextRules.h"
#include "selection/DialogService.h"

#include <QLabel>
#include <QLineEdit>

namespace quillora::ui {

NoticeTextValidator::NoticeTextValidator(std::function<void()> onRefused, QObject* parent)
    : QValidator(parent), m_onRefused(std::move(onRefused)) {}

void NoticeTextValidator::install(QLineEdit* box, QLabel* warning, selection::DialogService& dialogs) {
    box->setValidator(new NoticeTextValidator(
        [warning, &dialogs] {
            warning->show();
            dialogs.beep();
        },
        box));
    QObject::connect(box, &QLineEdit::textEdited, warning, &QLabel::hide);
}

QValidator::State NoticeTextValidator::validate(QString& input, int& /*pos*/) const {
    // The whole text is judged, not the change: "-" typed before "->" ends the comment as surely as "-->" pasted.
    if (run::IsNoticeSafeText(input.toStdU16String()))
        return Acceptable;
    if (m_onRefused)
        m_onRefused();
    return Invalid;
}

} // namespace quillora::ui
