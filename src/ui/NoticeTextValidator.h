#pragma once

#include <QValidator>
#include <functional>

class QLabel;
class QLineEdit;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// Keeps "-->" and "--!>" out of the notice box, whether typed, pasted or dropped: the notice stands in an HTML
/// comment that either would end early. Every other text passes exactly as it is.
class NoticeTextValidator : public QValidator {
    Q_OBJECT

public:
    NoticeTextValidator(std::function<void()> onRefused, QObject* parent);

    /// Filters the box: a refused change shows the warning label and beeps; the next accepted edit hides it.
    static void install(QLineEdit* box, QLabel* warning, selection::DialogService& dialogs);

    State validate(QString& input, int& pos) const override;

private:
    std::function<void()> m_onRefused;
};

} // namespace quillora::ui
