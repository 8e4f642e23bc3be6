#pragma once

#include <QValidator>
#include <functional>

class QLabel;
class QLineEdit;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// Keeps apostrophes, double quotes and backslashes out of a box whose text goes into a generated script,
/// whether the text is typed, pasted or dropped.
class ScriptTextValidator : public QValidator {
    Q_OBJECT

public:
    ScriptTextValidator(std::function<void()> onRefused, QObject* parent);

    /// The character check: false for ', " and \, true for everything else.
    static bool isAllowedCharacter(QChar c);

    /// Filters the box: a refused change shows the warning label and beeps; the next accepted edit hides it.
    static void install(QLineEdit* box, QLabel* warning, selection::DialogService& dialogs);

    State validate(QString& input, int& pos) const override;

private:
    std::function<void()> m_onRefused;
};

} // namespace quillora::ui
