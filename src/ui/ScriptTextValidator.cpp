#include "ScriptTextValidator.h"

#include "run/TextRules.h"
#include "selection/DialogService.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace quillora::ui {

ScriptTextValidator::ScriptTextValidator(std::function<void()> onRefused, QObject* parent)
    : QValidator(parent), m_onRefused(std::move(onRefused)) {}

bool ScriptTextValidator::isAllowedCharacter(QChar c) {
    return run::IsScriptSafeCharacter(c.unicode());
}

void ScriptTextValidator::install(QLineEdit* box, QLabel* warning, selection::DialogService& dialogs) {
    box->setValidator(new ScriptTextValidator(
        [warning, &dialogs] {
            warning->show();
            dialogs.beep();
        },
        box));
    QObject::connect(box, &QLineEdit::textEdited, warning, &QLabel::hide);
}

QValidator::State ScriptTextValidator::validate(QString& input, int& /*pos*/) const {
    if (std::all_of(input.cbegin(), input.cend(), isAllowedCharacter))
        return Acceptable;
    if (m_onRefused)
        m_onRefused();
    return Invalid;
}

} // namespace quillora::ui
