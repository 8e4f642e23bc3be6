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
    /// True when the pages are to be encrypted with the password.
    bool encrypting() const;
    /// The access level typed for the run, trimmed; empty for the site's own key.
    std::string level() const;
    /// Why a run would stop at this page's choices, or the empty string.
    QString problem() const;

    void chkPasswordScript_Click();
    void chkEncrypt_Click();
    void chkShowPassword_Click();
    void chkUnlockTitle_Click();
    void updateHideChoice();
    /// Shows how strong the password is, as it is typed, when the pages are to be encrypted with it.
    void txtPassword_Change();

    /// The note beside the prompt alone, which protects nothing.
    static constexpr char kPromptOnlyNote[] = "not protection: the password stands in the page";

Q_SIGNALS:
    /// Encryption was chosen or given up (the Store Files page offers a folder for the originals).
    void encryptionChanged(bool encrypting);
    /// What problem() tells may have changed.
    void problemChanged();

public:
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
    QLabel* lblPasswordsDiffer; // shown as soon as the second password cannot become the first
    QLabel* lblPromptOnly;      // shown for the prompt alone
    QLabel* lblStrength;        // the password's strength, for encryption
    QCheckBox* chkUnlockTitle;
    QLineEdit* txtUnlockTitle;
    QLabel* lblKeyFile;
    QLineEdit* txtKeyFile; // empty: the run's default place, beside the first picked folder
    QLabel* lblKeyLevel;
    QLineEdit* txtKeyLevel;      // an access level of the site key for every page of the run; empty: the site's own
    QCheckBox* chkHideEncrypted; // the mode's part hidden inside encrypted pages too

private:
    void updateEchoMode();
    void updateMismatchMark();

    selection::DialogService& m_dialogs;
    QValidator* m_scriptSafe = nullptr;
    bool m_againFinished = false; // the second box was left (or Enter pressed) since it was last typed in
};

} // namespace quillora::ui
