#pragma once

#include "engine/ProtectionOptions.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QValidator;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// Page 3: how much of each page is hidden, and the optional password: a prompt, or the pages encrypted with it.
class EncryptionPage : public QWidget {
    Q_OBJECT

public:
    /// The message when the two password boxes of an encrypted run differ.
    static constexpr char kPasswordsDiffer[] = "Please Enter the Same Password Twice";

    explicit EncryptionPage(selection::DialogService& dialogs, QWidget* parent = nullptr);

    /// Writes the encryption and password choices into options.
    void fill(engine::ProtectionOptions& options) const;
    /// True when the pages are to be encrypted and the password was not typed the same twice (an empty
    /// password is the run's to refuse).
    bool passwordsDiffer() const;

    void chkPasswordScript_Click();
    void chkEncrypt_Click();
    void chkShowPassword_Click();

    std::array<QRadioButton*, 4> optProtect{};
    QGroupBox* framProtect;
    QCheckBox* chkPasswordScript;
    QCheckBox* chkEncrypt;
    QLineEdit* txtPassword;
    QCheckBox* chkShowPassword;
    QLabel* lblPasswordAgain;
    QLineEdit* txtPasswordAgain;
    QLabel* lblRememberDays;
    QSpinBox* spnRememberDays;
    QLabel* lblWarning;

private:
    bool encrypting() const;

    selection::DialogService& m_dialogs;
    QValidator* m_scriptSafe = nullptr;
};

} // namespace quillora::ui
