#include "TextRuleValidator.h"

#include "run/TextRules.h"
#include "selection/DialogService.h"

#include <QLabel>
#include <QLineEdit>

namespace quillora::ui {

bool TextRuleValidator::isScriptSafe(const QString& text) {
    return run::IsScriptSafeText(text.toStdU16String());
}

bool TextRuleValidator::isNoticeSafe(const QString& text) {
    return run::IsNoticeSafeText(text.toStdU16String());
}

TextRuleValidator::TextRuleValidator(Rule rule, std::function<void()> onRefused, QObject* parent)
    : QValidator(parent), m_rule(rule), m_onRefused(std::move(onRefused)) {}

TextRuleValidator* TextRuleValidator::install(QLineEdit* box, QLabel* warning, selection::DialogService& dialogs,
                                              Rule rule) {
    auto* validator = new TextRuleValidator(
        rule,
        [warning, &dialogs] {
            warning->show();
            dialogs.beep();
        },
        box);
    box->setValidator(validator);
    QObject::connect(box, &QLineEdit::textEdited, warning, &QLabel::hide);
    return validator;
}

QValidator::State TextRuleValidator::validate(QString& input, int& /*pos*/) const {
    // The whole text is judged, not the change: "-" typed before "->" ends a comment as surely as "-->" pasted.
    if (m_rule(input))
        return Acceptable;
    if (m_onRefused)
        m_onRefused();
    return Invalid;
}

} // namespace quillora::ui
