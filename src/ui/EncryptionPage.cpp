#include "EncryptionPage.h"

#include "BuddyLabel.h"
#include "PageStyle.h"
#include "TextRuleValidator.h"
#include "crypto/PasswordStrength.h"
#include "crypto/SecretMemory.h"
#include "run/RunMessages.h"
#include "selection/DialogService.h"
#include "selection/NativePath.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

const std::array<const char*, 4> kProtectCaptions = {"Protect only email links", "Protect all links",
                                                     "Protect the body of the page only", "Protect the whole page"};

QLineEdit* passwordBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setEnabled(false);
    return box;
}

/// The strength of a typed password in words; weak tells whether it is shown as a warning.
QString strengthText(const crypto::PasswordStrength& strength, bool& weak) {
    using Level = crypto::PasswordStrength::Level;
    const int bits = strength.wholeBits();
    weak = true;
    switch (strength.level()) {
    case Level::TooWeak:
        return QStringLiteral("Too weak to encrypt with: about %1 bits (at least %2 are needed)")
            .arg(bits)
            .arg(static_cast<int>(crypto::PasswordStrength::kFloorBits));
    case Level::Weak:
        return QStringLiteral("Weak: about %1 bits (%2 or more is strong)")
            .arg(bits)
            .arg(static_cast<int>(crypto::PasswordStrength::kStrongBits));
    case Level::Strong:
        break;
    }
    weak = false;
    return QStringLiteral("Strong: about %1 bits").arg(bits);
}

} // namespace

EncryptionPage::EncryptionPage(selection::DialogService& dialogs, QWidget* parent)
    : QWidget(parent), framProtect(new QGroupBox(this)),
      chkPasswordScript(new QCheckBox(QStringLiteral("Password protect"), framProtect)),
      chkEncrypt(new QCheckBox(QStringLiteral("Encrypt the pages with the password"), framProtect)),
      txtPassword(passwordBox(QStringLiteral("txtPassword"), framProtect)),
      chkShowPassword(new QCheckBox(QStringLiteral("Show"), framProtect)),
      lblPasswordAgain(new QLabel(QStringLiteral("Again"), framProtect)),
      txtPasswordAgain(passwordBox(QStringLiteral("txtPasswordAgain"), framProtect)),
      lblRememberDays(new QLabel(QStringLiteral("Remember on this device for"), framProtect)),
      spnRememberDays(new QSpinBox(framProtect)),
      lblWarning(new QLabel(QStringLiteral("\\ \" or ' not allowed"), framProtect)),
      lblPasswordsDiffer(new QLabel(QStringLiteral("The two passwords differ"), framProtect)),
      lblPromptOnly(new QLabel(QString::fromLatin1(kPromptOnlyNote), framProtect)),
      lblStrength(new QLabel(framProtect)),
      chkUnlockTitle(new QCheckBox(QStringLiteral("Unlock pages show this title"), framProtect)),
      txtUnlockTitle(new QLineEdit(framProtect)), lblKeyFile(new QLabel(QStringLiteral("Site key file"), framProtect)),
      txtKeyFile(new QLineEdit(framProtect)), lblKeyLevel(new QLabel(QStringLiteral("Access level"), framProtect)),
      txtKeyLevel(new QLineEdit(framProtect)),
      chkHideEncrypted(
          new QCheckBox(QStringLiteral("Also hide the part chosen above inside the encrypted pages"), framProtect)),
      m_dialogs(dialogs) {
    framProtect->setObjectName(QStringLiteral("framProtect"));
    chkPasswordScript->setObjectName(QStringLiteral("chkPasswordScript"));
    chkEncrypt->setObjectName(QStringLiteral("chkEncrypt"));
    chkEncrypt->setEnabled(false);
    chkEncrypt->setToolTip(QStringLiteral("Nobody reads the pages without the password, not even in their source"));
    chkShowPassword->setObjectName(QStringLiteral("chkShowPassword"));
    chkShowPassword->setEnabled(false);
    lblPasswordAgain->setObjectName(QStringLiteral("lblPasswordAgain"));
    lblPasswordAgain->setBuddy(txtPasswordAgain);
    greyWithBuddy(lblPasswordAgain);
    lblRememberDays->setObjectName(QStringLiteral("lblRememberDays"));
    lblRememberDays->setBuddy(spnRememberDays);
    greyWithBuddy(lblRememberDays);
    spnRememberDays->setObjectName(QStringLiteral("spnRememberDays"));
    spnRememberDays->setRange(0, engine::kMaxRememberDays);
    spnRememberDays->setSuffix(QStringLiteral(" days"));
    spnRememberDays->setSpecialValueText(QStringLiteral("this browser session only"));
    spnRememberDays->setEnabled(false);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    pagestyle::markAsWarning(lblWarning);
    lblWarning->hide();
    lblPasswordsDiffer->setObjectName(QStringLiteral("lblPasswordsDiffer"));
    pagestyle::markAsWarning(lblPasswordsDiffer);
    lblPasswordsDiffer->hide();
    lblPromptOnly->setObjectName(QStringLiteral("lblPromptOnly"));
    lblPromptOnly->setWordWrap(true);
    pagestyle::markAsWarning(lblPromptOnly);
    lblPromptOnly->hide();
    lblStrength->setObjectName(QStringLiteral("lblStrength"));
    lblStrength->setWordWrap(true);
    lblStrength->hide();
    chkUnlockTitle->setObjectName(QStringLiteral("chkUnlockTitle"));
    chkUnlockTitle->setEnabled(false);
    chkUnlockTitle->setToolTip(QStringLiteral("Otherwise each unlock page shows its page's own title, which stays "
                                              "readable in it"));
    txtUnlockTitle->setObjectName(QStringLiteral("txtUnlockTitle"));
    txtUnlockTitle->setEnabled(false);
    lblKeyFile->setObjectName(QStringLiteral("lblKeyFile"));
    lblKeyFile->setBuddy(txtKeyFile);
    greyWithBuddy(lblKeyFile);
    txtKeyFile->setObjectName(QStringLiteral("txtKeyFile"));
    txtKeyFile->setEnabled(false);
    lblKeyLevel->setObjectName(QStringLiteral("lblKeyLevel"));
    lblKeyLevel->setBuddy(txtKeyLevel);
    greyWithBuddy(lblKeyLevel);
    txtKeyLevel->setObjectName(QStringLiteral("txtKeyLevel"));
    txtKeyLevel->setEnabled(false);
    txtKeyLevel->setPlaceholderText(QStringLiteral("the site's own key"));
    txtKeyLevel->setToolTip(QStringLiteral("An access level of the site key file (made with quillora-cli "
                                           "--add-level NAME): the pages of this run are encrypted with its key and "
                                           "open with its passwords only. A project file's rules may name others."));
    chkHideEncrypted->setObjectName(QStringLiteral("chkHideEncrypted"));
    chkHideEncrypted->setEnabled(false);
    chkHideEncrypted->setToolTip(QStringLiteral("Encryption hides the whole page already; hiding a part inside it "
                                                "too makes each page about three times larger"));
    txtKeyFile->setPlaceholderText(QStringLiteral("beside the first picked folder, as FOLDER.quillora-key"));
    txtKeyFile->setToolTip(QStringLiteral("The site's key, locked by the password: later runs read it so that "
                                          "visitors stay unlocked. Keep it, and never publish it."));
    // The filter is kept, to be put back whenever the pages are not to be encrypted.
    m_scriptSafe = TextRuleValidator::install(txtPassword, lblWarning, m_dialogs, TextRuleValidator::isScriptSafe);
    connect(chkPasswordScript, &QCheckBox::toggled, this, &EncryptionPage::chkPasswordScript_Click);
    connect(chkEncrypt, &QCheckBox::toggled, this, &EncryptionPage::chkEncrypt_Click);
    connect(chkShowPassword, &QCheckBox::toggled, this, &EncryptionPage::chkShowPassword_Click);
    connect(chkUnlockTitle, &QCheckBox::toggled, this, &EncryptionPage::chkUnlockTitle_Click);
    connect(chkHideEncrypted, &QCheckBox::toggled, this, &EncryptionPage::updateHideChoice);
    connect(txtPassword, &QLineEdit::textChanged, this, &EncryptionPage::txtPassword_Change);
    connect(txtPassword, &QLineEdit::textChanged, this, &EncryptionPage::updateMismatchMark);
    connect(txtPasswordAgain, &QLineEdit::textEdited, this, [this] { m_againFinished = false; });
    connect(txtPasswordAgain, &QLineEdit::textChanged, this, &EncryptionPage::updateMismatchMark);
    connect(txtPasswordAgain, &QLineEdit::editingFinished, this, [this] {
        m_againFinished = true;
        updateMismatchMark();
    });

    // The warning sits directly above the box it belongs to.
    auto* password = new QGridLayout(framProtect);
    password->addWidget(chkPasswordScript, 0, 0, 1, 3);
    auto* encryptRow = new QHBoxLayout;
    encryptRow->addSpacing(20); // a choice within "Password protect"
    encryptRow->addWidget(chkEncrypt);
    encryptRow->addSpacing(8);
    encryptRow->addWidget(lblPromptOnly, 1);
    password->addLayout(encryptRow, 1, 0, 1, 3);
    password->addWidget(lblWarning, 2, 1);
    auto* passwordLabel = new QLabel(QStringLiteral("Password"), framProtect);
    passwordLabel->setObjectName(QStringLiteral("lblPassword"));
    passwordLabel->setBuddy(txtPassword);
    greyWithBuddy(passwordLabel);
    password->addWidget(passwordLabel, 3, 0);
    password->addWidget(txtPassword, 3, 1);
    password->addWidget(chkShowPassword, 3, 2);
    password->addWidget(lblStrength, 4, 1, 1, 2);
    password->addWidget(lblPasswordAgain, 5, 0);
    password->addWidget(txtPasswordAgain, 5, 1);
    password->addWidget(lblPasswordsDiffer, 6, 1);
    password->addWidget(lblRememberDays, 7, 0);
    password->addWidget(spnRememberDays, 7, 1, Qt::AlignLeft);
    password->addWidget(chkUnlockTitle, 8, 0);
    password->addWidget(txtUnlockTitle, 8, 1, 1, 2);
    password->addWidget(lblKeyFile, 9, 0);
    password->addWidget(txtKeyFile, 9, 1, 1, 2);
    password->addWidget(lblKeyLevel, 10, 0);
    password->addWidget(txtKeyLevel, 10, 1, 1, 2);
    password->addWidget(chkHideEncrypted, 11, 0, 1, 3);
    password->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pagestyle::heading(QStringLiteral("Which parts of your page do you want to protect?"), this));
    for (int i = 0; i < 4; ++i) {
        optProtect[i] = new QRadioButton(QString::fromLatin1(kProtectCaptions[i]), this);
        optProtect[i]->setObjectName(QStringLiteral("optProtect(%1)").arg(i));
        layout->addWidget(optProtect[i]);
    }
    optProtect[static_cast<int>(engine::EncryptionMode::BodyOnly)]->setChecked(true);
    layout->addSpacing(8);
    layout->addWidget(framProtect);
    layout->addStretch();
}

bool EncryptionPage::encrypting() const {
    return chkPasswordScript->isChecked() && chkEncrypt->isChecked();
}

void EncryptionPage::fill(engine::ProtectionOptions& options) const {
    for (int i = 0; i < 4; ++i) {
        if (optProtect[i]->isChecked())
            options.encryptionMode = static_cast<engine::EncryptionMode>(i);
    }
    options.passwordProtect = chkPasswordScript->isChecked();
    options.password = txtPassword->text().toStdU16String();
    options.encrypt = encrypting();
    options.rememberDays = encrypting() ? spnRememberDays->value() : 0;
    options.replaceTitle = encrypting() && chkUnlockTitle->isChecked();
    options.unlockTitle = txtUnlockTitle->text().toStdU16String();
    options.keyFile = encrypting() ? selection::toNativePath(txtKeyFile->text().trimmed()) : std::string();
    options.hideWhenEncrypting = encrypting() && chkHideEncrypted->isChecked();
    options.keyLevel = encrypting() ? level() : std::string();
}

std::string EncryptionPage::level() const {
    return txtKeyLevel->text().trimmed().toStdString();
}

bool EncryptionPage::passwordsDiffer() const {
    return encrypting() && !txtPassword->text().trimmed().isEmpty() && txtPassword->text() != txtPasswordAgain->text();
}

QString EncryptionPage::problem() const {
    if (chkPasswordScript->isChecked() && txtPassword->text().trimmed().isEmpty())
        return QString::fromUtf8(run::messages::kEnterPassword);
    if (passwordsDiffer())
        return QString::fromLatin1(kPasswordsDiffer);
    return {};
}

// A second password that is still being typed and so far agrees with the first is not marked yet.
void EncryptionPage::updateMismatchMark() {
    const QString first = txtPassword->text();
    const QString again = txtPasswordAgain->text();
    const bool typing = first.startsWith(again) && !m_againFinished;
    lblPasswordsDiffer->setVisible(encrypting() && !again.isEmpty() && again != first && !typing);
    Q_EMIT problemChanged();
}

void EncryptionPage::chkPasswordScript_Click() {
    const bool chosen = chkPasswordScript->isChecked();
    txtPassword->setEnabled(chosen);
    chkEncrypt->setEnabled(chosen);
    chkShowPassword->setEnabled(chosen);
    chkEncrypt_Click();
}

void EncryptionPage::chkEncrypt_Click() {
    const bool encrypted = encrypting();
    txtPasswordAgain->setEnabled(encrypted);
    spnRememberDays->setEnabled(encrypted);
    chkUnlockTitle->setEnabled(encrypted);
    chkUnlockTitle_Click();
    txtKeyFile->setEnabled(encrypted);
    txtKeyLevel->setEnabled(encrypted);
    chkHideEncrypted->setEnabled(encrypted);
    updateHideChoice();
    lblPromptOnly->setVisible(chkPasswordScript->isChecked() && !encrypted);
    updateEchoMode();
    txtPassword_Change();
    updateMismatchMark();
    Q_EMIT encryptionChanged(encrypted);
    // An encrypted page never puts the password into a script, so it may hold any character.
    if (encrypted) {
        txtPassword->setValidator(nullptr);
        lblWarning->hide();
        return;
    }
    txtPassword->setValidator(m_scriptSafe);
    // The prompt's password goes into a script: one typed for encryption that it cannot hold is refused as a
    // typed character would be, once the box is in use again.
    const QString typed = txtPassword->text();
    if (chkPasswordScript->isChecked() && !TextRuleValidator::isScriptSafe(typed)) {
        txtPassword->clear();
        txtPasswordAgain->clear();
        lblWarning->show();
        m_dialogs.beep();
    }
}

// Encrypted pages hide nothing by the mode unless asked to: the mode's choices then stand for nothing.
void EncryptionPage::updateHideChoice() {
    const bool hides = !encrypting() || chkHideEncrypted->isChecked();
    for (QRadioButton* option : optProtect)
        option->setEnabled(hides);
}

void EncryptionPage::chkShowPassword_Click() {
    updateEchoMode();
}

// The prompt's password stands in every page: masking it would pretend it is a secret.
void EncryptionPage::updateEchoMode() {
    const bool promptOnly = chkPasswordScript->isChecked() && !chkEncrypt->isChecked();
    const auto mode = chkShowPassword->isChecked() || promptOnly ? QLineEdit::Normal : QLineEdit::Password;
    txtPassword->setEchoMode(mode);
    txtPasswordAgain->setEchoMode(mode);
}

void EncryptionPage::chkUnlockTitle_Click() {
    txtUnlockTitle->setEnabled(encrypting() && chkUnlockTitle->isChecked());
}

void EncryptionPage::txtPassword_Change() {
    if (!encrypting() || txtPassword->text().isEmpty()) {
        lblStrength->hide();
        return;
    }
    std::u16string password = txtPassword->text().toStdU16String();
    const auto strength = crypto::PasswordStrength::of(password);
    crypto::wipe(password);
    bool weak = false;
    lblStrength->setText(strengthText(strength, weak));
    // Its colours follow the theme: the warning colour, or the window's own.
    lblStrength->setPalette(QPalette());
    if (weak)
        pagestyle::markAsWarning(lblStrength);
    lblStrength->show();
}

} // namespace quillora::ui
