#include "EncryptionPage.h"

#include "PageStyle.h"
#include "ScriptTextValidator.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

const std::array<const char*, 4> kProtectCaptions = {"Protect only email links", "Protect all links",
                                                     "Protect the body of the page only", "Protect the whole page"};

} // namespace

EncryptionPage::EncryptionPage(selection::DialogService& dialogs, QWidget* parent)
    : QWidget(parent), framProtect(new QGroupBox(this)),
      chkPasswordScript(new QCheckBox(QStringLiteral("Password protect"), framProtect)),
      txtPassword(new QLineEdit(framProtect)),
      lblWarning(new QLabel(QStringLiteral("\\ \" or ' not allowed"), framProtect)) {
    framProtect->setObjectName(QStringLiteral("framProtect"));
    chkPasswordScript->setObjectName(QStringLiteral("chkPasswordScript"));
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEnabled(false);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setStyleSheet(QStringLiteral("color: #b00000;"));
    QSizePolicy keepSpace = lblWarning->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    lblWarning->setSizePolicy(keepSpace);
    lblWarning->hide();
    ScriptTextValidator::install(txtPassword, lblWarning, dialogs);
    connect(chkPasswordScript, &QCheckBox::toggled, this, &EncryptionPage::chkPasswordScript_Click);

    // The warning sits directly above the box it belongs to.
    auto* password = new QGridLayout(framProtect);
    password->addWidget(chkPasswordScript, 0, 0, 1, 2);
    password->addWidget(lblWarning, 1, 1);
    password->addWidget(new QLabel(QStringLiteral("Password"), framProtect), 2, 0);
    password->addWidget(txtPassword, 2, 1);
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

void EncryptionPage::fill(engine::ProtectionOptions& options) const {
    for (int i = 0; i < 4; ++i) {
        if (optProtect[i]->isChecked())
            options.encryptionMode = static_cast<engine::EncryptionMode>(i);
    }
    options.passwordProtect = chkPasswordScript->isChecked();
    options.password = txtPassword->text().toStdU16String();
}

void EncryptionPage::chkPasswordScript_Click() {
    txtPassword->setEnabled(chkPasswordScript->isChecked());
}

} // namespace quillora::ui
