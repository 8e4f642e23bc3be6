#pragma once

#include "engine/ProtectionOptions.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// Page 3: how much of each page is hidden, and the optional password prompt.
class EncryptionPage : public QWidget {
    Q_OBJECT

public:
    explicit EncryptionPage(selection::DialogService& dialogs, QWidget* parent = nullptr);

    /// Writes the encryption and password choices into options.
    void fill(engine::ProtectionOptions& options) const;

    void chkPasswordScript_Click();

    std::array<QRadioButton*, 4> optProtect{};
    QGroupBox* framProtect;
    QCheckBox* chkPasswordScript;
    QLineEdit* txtPassword;
    QLabel* lblWarning;
};

} // namespace quillora::ui
