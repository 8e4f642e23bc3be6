#pragma once

#include <QValidator>
#include <functional>

class QLabel;
class QLineEdit;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// Keeps a box's text within one of the run's text rules, whether it is typed, pasted or dropped: a change that
/// breaks the rule is refused (the box keeps what it held), a warning label shows and the bell sounds.
class TextRuleValidator : public QValidator {
    Q_OBJECT

public:
    using Rule = bool (*)(const QString& text);

    /// No ', " or \: the text goes into a generated script (the password prompt, the right-click warning).
    static bool isScriptSafe(const QString& text);
    /// No "-->" or "--!>": the text goes into an HTML comment (the notice).
    static bool isNoticeSafe(const QString& text);

    TextRuleValidator(Rule rule, std::function<void()> onRefused, QObject* parent);

    /// Filters the box: a refused change shows the warning label and beeps; the next accepted edit hides it.
    static TextRuleValidator* install(QLineEdit* box, QLabel* warning, selection::DialogService& dialogs, Rule rule);

    State validate(QString& input, int& pos) const override;

private:
    Rule m_rule;
    std::function<void()> m_onRefused;
};

} // namespace quillora::ui
