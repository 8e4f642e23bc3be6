#include "ui/EncryptionPage.h"

#include "TempFolder.h"
#include "WindowFixture.h"
#include "ui/PageStyle.h"
#include "ui/ResultsPage.h"
#include "unlock/UnlockScript.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillora;
using quillora::testing::FakeDialogService;
using quillora::testing::TempFolder;
using quillora::testing::WindowFixture;

namespace {

class EncryptionPageTest : public ::testing::Test {
protected:
    FakeDialogService dialogs;
    ui::EncryptionPage page{dialogs};
};

TEST_F(EncryptionPageTest, StartValues) {
    const QStringList captions{"Protect only email links", "Protect all links", "Protect the body of the page only",
                               "Protect the whole page"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(page.optProtect[i]->text(), captions[i]);
        EXPECT_EQ(page.optProtect[i]->isChecked(), i == 2);
    }
    EXPECT_FALSE(page.framProtect->isHidden());
    EXPECT_FALSE(page.chkPasswordScript->isChecked());
    EXPECT_EQ(page.chkPasswordScript->text(), QStringLiteral("Password protect"));
    EXPECT_FALSE(page.txtPassword->isEnabled());
    EXPECT_TRUE(page.txtPassword->text().isEmpty());
    EXPECT_TRUE(page.lblWarning->isHidden());
    EXPECT_EQ(page.lblWarning->text(), QStringLiteral("\\ \" or ' not allowed"));
    EXPECT_EQ(page.lblWarning->text().size(), 20);
}

TEST_F(EncryptionPageTest, EncryptionStartsOffAndThePasswordBoxesHideWhatIsTyped) {
    EXPECT_EQ(page.chkEncrypt->text(), QStringLiteral("Encrypt the pages with the password"));
    EXPECT_FALSE(page.chkEncrypt->isChecked());
    EXPECT_FALSE(page.chkEncrypt->isEnabled());
    EXPECT_FALSE(page.chkShowPassword->isEnabled());
    EXPECT_FALSE(page.chkShowPassword->isChecked());
    EXPECT_FALSE(page.txtPasswordAgain->isEnabled());
    EXPECT_EQ(page.txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page.txtPasswordAgain->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page.spnRememberDays->value(), 0);
    EXPECT_EQ(page.spnRememberDays->maximum(), engine::kMaxRememberDays);
    EXPECT_FALSE(page.spnRememberDays->isEnabled());
    EXPECT_EQ(page.lblRememberDays->text(), QStringLiteral("Remember on this device for"));
}

TEST_F(EncryptionPageTest, EncryptionIsOfferedOnlyWithThePassword) {
    page.chkPasswordScript->setChecked(true);
    EXPECT_TRUE(page.chkEncrypt->isEnabled());
    EXPECT_TRUE(page.chkShowPassword->isEnabled());
    EXPECT_FALSE(page.txtPasswordAgain->isEnabled()) << "only for encryption";
    page.chkEncrypt->setChecked(true);
    EXPECT_TRUE(page.txtPasswordAgain->isEnabled());
    EXPECT_TRUE(page.spnRememberDays->isEnabled());

    page.chkPasswordScript->setChecked(false);
    EXPECT_FALSE(page.chkEncrypt->isEnabled());
    EXPECT_TRUE(page.chkEncrypt->isChecked()) << "disabling never clears a value";
    EXPECT_FALSE(page.txtPasswordAgain->isEnabled());
    EXPECT_FALSE(page.spnRememberDays->isEnabled());
    EXPECT_FALSE(page.chkShowPassword->isEnabled());
}

TEST_F(EncryptionPageTest, ShowRevealsBothBoxes) {
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true); // the prompt's password is shown as it is anyway
    page.chkShowPassword->setChecked(true);
    EXPECT_EQ(page.txtPassword->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(page.txtPasswordAgain->echoMode(), QLineEdit::Normal);
    page.chkShowPassword->setChecked(false);
    EXPECT_EQ(page.txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page.txtPasswordAgain->echoMode(), QLineEdit::Password);
}

TEST_F(EncryptionPageTest, AnEncryptionPasswordMayHoldQuotesAndBackslashes) {
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    QTest::keyClicks(page.txtPassword, QStringLiteral("it's \"q\" \\"));
    QTest::keyClicks(page.txtPasswordAgain, QStringLiteral("it's \"q\" \\"));
    EXPECT_EQ(page.txtPassword->text(), QStringLiteral("it's \"q\" \\"));
    EXPECT_EQ(page.txtPasswordAgain->text(), page.txtPassword->text());
    EXPECT_TRUE(page.lblWarning->isHidden());
    EXPECT_EQ(dialogs.beeps, 0);
}

TEST_F(EncryptionPageTest, BackToThePromptARefusedPasswordIsRefusedAsTyped) {
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    page.txtPassword->setText(QStringLiteral("it's"));
    page.txtPasswordAgain->setText(QStringLiteral("it's"));
    page.chkPasswordScript->setChecked(false);
    page.chkEncrypt->setChecked(false);
    EXPECT_EQ(page.txtPassword->text(), QStringLiteral("it's")) << "kept while the box is disabled";
    EXPECT_EQ(dialogs.beeps, 0);

    page.chkPasswordScript->setChecked(true);

    EXPECT_EQ(page.txtPassword->text(), QString());
    EXPECT_EQ(page.txtPasswordAgain->text(), QString());
    EXPECT_FALSE(page.lblWarning->isHidden());
    EXPECT_EQ(dialogs.beeps, 1);
    QTest::keyClick(page.txtPassword, '\'');
    EXPECT_EQ(page.txtPassword->text(), QString()) << "the filter is back";
    EXPECT_EQ(dialogs.beeps, 2);
}

TEST_F(EncryptionPageTest, ChoosingEncryptionHidesTheFiltersWarning) {
    page.chkPasswordScript->setChecked(true);
    QTest::keyClick(page.txtPassword, '"');
    ASSERT_FALSE(page.lblWarning->isHidden());
    page.chkEncrypt->setChecked(true);
    EXPECT_TRUE(page.lblWarning->isHidden());
}

TEST_F(EncryptionPageTest, FillTakesEncryptionAndRememberDays) {
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    page.txtPassword->setText(QStringLiteral("a\"b"));
    page.spnRememberDays->setValue(30);
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_TRUE(options.passwordProtect);
    EXPECT_TRUE(options.encrypt);
    EXPECT_EQ(options.password, u"a\"b");
    EXPECT_EQ(options.rememberDays, 30);

    page.chkPasswordScript->setChecked(false);
    page.fill(options);
    EXPECT_FALSE(options.passwordProtect);
    EXPECT_FALSE(options.encrypt) << "encryption is a way of protecting with the password";
    EXPECT_EQ(options.rememberDays, 0);
}

TEST_F(EncryptionPageTest, EncryptedPagesHideThePartChosenOnlyWhenAskedTo) {
    EXPECT_FALSE(page.chkHideEncrypted->isEnabled());
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    EXPECT_TRUE(page.chkHideEncrypted->isEnabled());
    EXPECT_FALSE(page.optProtect[3]->isEnabled()) << "the mode's choices stand for nothing meanwhile";
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_FALSE(options.hideWhenEncrypting);

    page.chkHideEncrypted->setChecked(true);
    EXPECT_TRUE(page.optProtect[3]->isEnabled());
    page.optProtect[3]->setChecked(true);
    page.fill(options);
    EXPECT_TRUE(options.hideWhenEncrypting);
    EXPECT_EQ(options.encryptionMode, engine::EncryptionMode::WholePage);

    page.chkEncrypt->setChecked(false);
    EXPECT_TRUE(page.optProtect[0]->isEnabled()) << "a page that is not encrypted is hidden as chosen";
    page.fill(options);
    EXPECT_FALSE(options.hideWhenEncrypting);
}

struct TwoPasswords {
    bool protect;
    bool encrypt;
    const char* first;
    const char* second;
    bool differ;
};

class PasswordsDiffer : public EncryptionPageTest, public ::testing::WithParamInterface<TwoPasswords> {};

TEST_P(PasswordsDiffer, OnlyWhenBothAreAskedFor) {
    page.chkPasswordScript->setChecked(GetParam().protect);
    page.chkEncrypt->setChecked(GetParam().encrypt);
    page.txtPassword->setText(QString::fromUtf8(GetParam().first));
    page.txtPasswordAgain->setText(QString::fromUtf8(GetParam().second));
    EXPECT_EQ(page.passwordsDiffer(), GetParam().differ);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, PasswordsDiffer,
    ::testing::Values(TwoPasswords{true, true, "same", "same", false}, TwoPasswords{true, true, "same", "Same", true},
                      TwoPasswords{true, true, "same", "same ", true}, TwoPasswords{true, true, "same", "", true},
                      TwoPasswords{true, true, "", "x", false}, // the run's to refuse
                      TwoPasswords{true, false, "prompt", "", false}, TwoPasswords{false, true, "off", "", false}));

TEST_F(EncryptionPageTest, TheSecondPasswordIsMarkedAsSoonAsItCannotBecomeTheFirst) {
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    page.txtPassword->setText(QStringLiteral("open sesame"));
    const auto marked = [this] { return !page.lblPasswordsDiffer->isHidden(); };
    // Typed key by key, as a person would: agreeing so far is not a mismatch yet.
    page.txtPasswordAgain->setFocus();
    QTest::keyClicks(page.txtPasswordAgain, QStringLiteral("open"));
    EXPECT_FALSE(marked()) << "still typing";
    QTest::keyClicks(page.txtPasswordAgain, QStringLiteral(" x"));
    EXPECT_TRUE(marked()) << "open x cannot become open sesame";
    EXPECT_EQ(page.lblPasswordsDiffer->text(), QStringLiteral("The two passwords differ"));
    QTest::keyClick(page.txtPasswordAgain, Qt::Key_Backspace);
    EXPECT_FALSE(marked());
    QTest::keyClicks(page.txtPasswordAgain, QStringLiteral("sesame"));
    EXPECT_FALSE(marked()) << "the same";

    // Left with a part of the password, the second box is marked.
    page.txtPasswordAgain->setText(QStringLiteral("open"));
    Q_EMIT page.txtPasswordAgain->editingFinished();
    EXPECT_TRUE(marked());
    // The first password changed to match: no mark.
    page.txtPassword->setText(QStringLiteral("open"));
    EXPECT_FALSE(marked());
    // Not encrypting: one password, nothing to compare.
    page.txtPassword->setText(QStringLiteral("other"));
    EXPECT_TRUE(marked());
    page.chkEncrypt->setChecked(false);
    EXPECT_FALSE(marked());
}

TEST_F(EncryptionPageTest, TheReasonARunWouldStopHere) {
    QSignalSpy changed(&page, &ui::EncryptionPage::problemChanged);
    EXPECT_EQ(page.problem(), QString());
    page.chkPasswordScript->setChecked(true);
    EXPECT_EQ(page.problem(), QStringLiteral("Please Enter a Password"));
    page.txtPassword->setText(QStringLiteral("secret"));
    EXPECT_EQ(page.problem(), QString());
    page.chkEncrypt->setChecked(true);
    EXPECT_EQ(page.problem(), QStringLiteral("Please Enter the Same Password Twice"));
    page.txtPasswordAgain->setText(QStringLiteral("secret"));
    EXPECT_EQ(page.problem(), QString());
    EXPECT_GE(changed.size(), 4);
}

TEST_F(EncryptionPageTest, ACaptionIsGreyedWithTheBoxItNames) {
    const QList<QLabel*> labels = {page.findChild<QLabel*>(QStringLiteral("lblPassword")), page.lblPasswordAgain,
                                   page.lblRememberDays};
    const auto checkLabels = [&](const char* state) {
        for (const QLabel* label : labels) {
            ASSERT_NE(label, nullptr);
            ASSERT_NE(label->buddy(), nullptr);
            EXPECT_EQ(label->isEnabled(), label->buddy()->isEnabled()) << state << ": " << label->text().toStdString();
        }
    };
    checkLabels("at start");
    EXPECT_FALSE(labels[0]->isEnabled());
    page.chkPasswordScript->setChecked(true);
    checkLabels("password protect");
    EXPECT_TRUE(labels[0]->isEnabled());
    EXPECT_FALSE(labels[1]->isEnabled());
    page.chkEncrypt->setChecked(true);
    checkLabels("encrypting");
    EXPECT_TRUE(labels[2]->isEnabled());
    page.chkPasswordScript->setChecked(false);
    checkLabels("password protect off again");
    EXPECT_FALSE(labels[1]->isEnabled());
}

TEST_F(EncryptionPageTest, PasswordBoxFollowsItsCheckBox) {
    page.chkPasswordScript->setChecked(true);
    EXPECT_TRUE(page.txtPassword->isEnabled());
    page.txtPassword->setText(QStringLiteral("secret"));
    page.chkPasswordScript->setChecked(false);
    EXPECT_FALSE(page.txtPassword->isEnabled());
    EXPECT_EQ(page.txtPassword->text(), QStringLiteral("secret"));
}

TEST_F(EncryptionPageTest, FillTakesModeAndPassword) {
    page.optProtect[3]->setChecked(true);
    page.chkPasswordScript->setChecked(true);
    page.txtPassword->setText(QStringLiteral("s\u00e9same"));
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_EQ(options.encryptionMode, engine::EncryptionMode::WholePage);
    EXPECT_TRUE(options.passwordProtect);
    EXPECT_EQ(options.password, u"s\u00e9same");
}

TEST_F(EncryptionPageTest, WarningSitsDirectlyAboveThePasswordBox) {
    page.resize(500, 400);
    page.show();
    page.lblWarning->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    const QRect label(page.lblWarning->mapTo(&page, QPoint(0, 0)), page.lblWarning->size());
    const QRect box(page.txtPassword->mapTo(&page, QPoint(0, 0)), page.txtPassword->size());
    EXPECT_LE(label.bottom(), box.top());
    EXPECT_LE(box.top() - label.bottom(), 12);
    EXPECT_GE(label.left(), box.left() - 2);
}

struct TypedKey {
    char key;
    bool allowed;
};

class KeyFilterTest : public EncryptionPageTest, public ::testing::WithParamInterface<TypedKey> {};

TEST_P(KeyFilterTest, RefusedCharactersAreNotTypedAndWarn) {
    page.chkPasswordScript->setChecked(true);
    QTest::keyClicks(page.txtPassword, QStringLiteral("ab"));

    QTest::keyClick(page.txtPassword, GetParam().key);

    const QString expected =
        GetParam().allowed ? QStringLiteral("ab") + QLatin1Char(GetParam().key) : QStringLiteral("ab");
    EXPECT_EQ(page.txtPassword->text(), expected);
    EXPECT_EQ(page.lblWarning->isHidden(), GetParam().allowed);
    EXPECT_EQ(dialogs.beeps, GetParam().allowed ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyFilterTest,
                         ::testing::Values(TypedKey{'\'', false}, TypedKey{'"', false}, TypedKey{'\\', false},
                                           TypedKey{'`', true}, TypedKey{'/', true}, TypedKey{' ', true},
                                           TypedKey{'x', true}));

TEST_F(EncryptionPageTest, NextAllowedKeyHidesTheWarning) {
    page.chkPasswordScript->setChecked(true);
    QTest::keyClick(page.txtPassword, '"');
    ASSERT_FALSE(page.lblWarning->isHidden());

    QTest::keyClick(page.txtPassword, 'k');

    EXPECT_TRUE(page.lblWarning->isHidden());
    EXPECT_EQ(page.txtPassword->text(), QStringLiteral("k"));
}

TEST_F(EncryptionPageTest, PastedQuotesAreRefusedToo) {
    page.chkPasswordScript->setChecked(true);
    page.txtPassword->setText(QStringLiteral("ok"));
    page.txtPassword->end(false);
    QGuiApplication::clipboard()->setText(QStringLiteral("it's"));

    page.txtPassword->paste();

    EXPECT_EQ(page.txtPassword->text(), QStringLiteral("ok"));
    EXPECT_FALSE(page.lblWarning->isHidden());
    EXPECT_EQ(dialogs.beeps, 1);

    QGuiApplication::clipboard()->setText(QStringLiteral("fine"));
    page.txtPassword->paste();
    EXPECT_EQ(page.txtPassword->text(), QStringLiteral("okfine"));
    EXPECT_TRUE(page.lblWarning->isHidden());
}

struct Strength {
    const char* password;
    QString shown;
    bool warning; // shown in the warning colour
};

class StrengthTest : public EncryptionPageTest, public ::testing::WithParamInterface<Strength> {};

TEST_P(StrengthTest, IsShownAsThePasswordIsTyped) {
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    QTest::keyClicks(page.txtPassword, QString::fromUtf8(GetParam().password));
    EXPECT_FALSE(page.lblStrength->isHidden());
    EXPECT_EQ(page.lblStrength->text(), GetParam().shown);
    const QColor shownIn = page.lblStrength->palette().color(QPalette::WindowText);
    EXPECT_EQ(shownIn == ui::pagestyle::warningColor(page.palette()), GetParam().warning)
        << shownIn.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, StrengthTest,
    ::testing::Values(Strength{"a", "Too weak to encrypt with: about 2 bits (at least 40 are needed)", true},
                      Strength{"blue-cactus-river", "Weak: about 42 bits (60 or more is strong)", true},
                      Strength{"correct horse battery staple", "Strong: about 70 bits", false}));

TEST_F(EncryptionPageTest, TheStrengthIsShownOnlyForEncryption) {
    page.chkPasswordScript->setChecked(true);
    QTest::keyClicks(page.txtPassword, QStringLiteral("abc"));
    EXPECT_TRUE(page.lblStrength->isHidden()) << "the prompt's password is no secret";
    page.chkEncrypt->setChecked(true);
    EXPECT_FALSE(page.lblStrength->isHidden());
    page.txtPassword->clear();
    EXPECT_TRUE(page.lblStrength->isHidden());
}

TEST_F(EncryptionPageTest, ThePromptAloneSaysItIsNoProtectionAndHidesNothing) {
    EXPECT_EQ(page.lblPromptOnly->text(), QStringLiteral("not protection: the password stands in the page"));
    EXPECT_TRUE(page.lblPromptOnly->isHidden());
    page.chkPasswordScript->setChecked(true);
    EXPECT_FALSE(page.lblPromptOnly->isHidden());
    EXPECT_EQ(page.txtPassword->echoMode(), QLineEdit::Normal) << "a password that stands in every page";
    page.chkEncrypt->setChecked(true);
    EXPECT_TRUE(page.lblPromptOnly->isHidden());
    EXPECT_EQ(page.txtPassword->echoMode(), QLineEdit::Password);
    page.chkPasswordScript->setChecked(false);
    EXPECT_TRUE(page.lblPromptOnly->isHidden());
}

TEST_F(EncryptionPageTest, AnUnlockTitleIsOfferedForEncryptionAndFilled) {
    EXPECT_FALSE(page.chkUnlockTitle->isEnabled());
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    EXPECT_TRUE(page.chkUnlockTitle->isEnabled());
    EXPECT_FALSE(page.txtUnlockTitle->isEnabled());
    page.chkUnlockTitle->setChecked(true);
    EXPECT_TRUE(page.txtUnlockTitle->isEnabled());
    page.txtUnlockTitle->setText(QStringLiteral("Members only"));
    engine::ProtectionOptions options;
    page.fill(options);
    EXPECT_TRUE(options.replaceTitle);
    EXPECT_EQ(options.unlockTitle, u"Members only");
    page.chkEncrypt->setChecked(false);
    EXPECT_FALSE(page.txtUnlockTitle->isEnabled());
    page.fill(options);
    EXPECT_FALSE(options.replaceTitle) << "only an unlock page has a title to replace";
}

TEST_F(EncryptionPageTest, TheSiteKeyFileIsNamedOnlyForEncryptionAndBlankMeansTheDefaultPlace) {
    EXPECT_FALSE(page.txtKeyFile->isEnabled());
    page.chkPasswordScript->setChecked(true);
    page.chkEncrypt->setChecked(true);
    ASSERT_TRUE(page.txtKeyFile->isEnabled());
    engine::ProtectionOptions options;
    page.txtKeyFile->setText(QStringLiteral("  "));
    page.fill(options);
    EXPECT_EQ(options.keyFile, "") << "beside the first picked folder";
    page.txtKeyFile->setText(QStringLiteral(" /keys/site.quillora-key "));
    page.fill(options);
    EXPECT_EQ(options.keyFile, "/keys/site.quillora-key");
    page.txtKeyLevel->setText(QStringLiteral(" staff "));
    page.fill(options);
    EXPECT_EQ(options.keyLevel, "staff");
    page.chkEncrypt->setChecked(false);
    EXPECT_FALSE(page.txtKeyFile->isEnabled());
    EXPECT_FALSE(page.txtKeyLevel->isEnabled());
    page.fill(options);
    EXPECT_EQ(options.keyFile, "") << "the prompt alone has no key";
    EXPECT_EQ(options.keyLevel, "");
}

class EncryptionPageWindowTest : public WindowFixture {
protected:
    /// Picks the folder, encrypts with the password and presses Protect; true once the run has ended.
    bool protectEncrypted(const QString& folder, const QString& password) {
        pickFolder(folder);
        goToPage(3);
        window.encryptionPage->chkPasswordScript->setChecked(true);
        window.encryptionPage->chkEncrypt->setChecked(true);
        window.encryptionPage->txtPassword->setText(password);
        window.encryptionPage->txtPasswordAgain->setText(password);
        return protect();
    }

    TempFolder site;
};

TEST_F(EncryptionPageWindowTest, ProtectRefusesAPasswordBelowTheFloor) {
    const QByteArray page = "<html><head><title>t</title></head><body><p>Hello</p></body></html>";
    const QString path = site.writeFile(QStringLiteral("site/a.htm"), page);
    ASSERT_TRUE(protectEncrypted(site.filePath(QStringLiteral("site")), QStringLiteral("hunter2")));
    EXPECT_EQ(window.currentPage(), 3);
    EXPECT_EQ(window.focusWidget(), window.encryptionPage->txtPassword);
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{"The password is too weak to encrypt with: about 10 bits, and at least 40 are needed. A "
                          "longer password of several unrelated words is stronger."});
    EXPECT_EQ(TempFolder::read(path), page);
    EXPECT_EQ(QDir(site.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"site"});
}

TEST_F(EncryptionPageWindowTest, AnEncryptedRunKeepsTheOriginalsOutsideSaysSoAndRestoreBringsThemBack) {
    const QByteArray page = "<html><head><title>t</title></head><body><p>Hello words</p></body></html>";
    const QString path = site.writeFile(QStringLiteral("site/a.htm"), page);
    site.writeFile(QStringLiteral("site/notes.md"), "Hello words");
    ASSERT_TRUE(
        protectEncrypted(site.filePath(QStringLiteral("site")), QStringLiteral("correct horse battery staple")));
    EXPECT_EQ(dialogs.messages.size(), 0);
    EXPECT_FALSE(TempFolder::read(path).contains("Hello"));
    EXPECT_EQ(QDir(site.filePath(QStringLiteral("site"))).entryList(QDir::Files),
              (QStringList{"a.htm", "notes.md", QString::fromStdString(unlock::sharedScriptName())}))
        << "no backup beside the page, and the script the unlock pages share";
    const QString originals = site.filePath(QStringLiteral("site.originals"));
    EXPECT_EQ(TempFolder::read(originals + QStringLiteral("/a.htm")), page);
    const QString notes = window.resultsPage->lblNotes->text();
    EXPECT_FALSE(window.resultsPage->lblNotes->isHidden());
    EXPECT_TRUE(notes.contains(QStringLiteral("The originals are kept in ") + originals)) << notes.toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral("Readable by design: each page's title"))) << notes.toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral("The unlock pages load their script from "))) << notes.toStdString();
    EXPECT_TRUE(notes.contains(site.filePath(QStringLiteral("site/notes.md")))) << "named as holding page text";

    dialogs.answers.enqueue(QMessageBox::Yes);
    QSignalSpy finished(&window, &ui::frmMain::runFinished);
    window.resultsPage->cmdRestore->click();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(TempFolder::read(path), page);
    EXPECT_FALSE(QFileInfo::exists(originals));
}

TEST_F(EncryptionPageWindowTest, ProtectRefusesTwoPasswordsThatDiffer) {
    const QByteArray page = "<html><head><title>t</title></head><body><p>Hello</p></body></html>";
    const QString path = site.writeFile(QStringLiteral("a.htm"), page);
    pickFile(path);
    goToPage(3);
    window.encryptionPage->chkPasswordScript->setChecked(true);
    window.encryptionPage->chkEncrypt->setChecked(true);
    window.encryptionPage->txtPassword->setText(QStringLiteral("one"));
    window.encryptionPage->txtPasswordAgain->setText(QStringLiteral("two"));
    goToPage(4);

    next();

    EXPECT_EQ(window.currentPage(), 3);
    EXPECT_EQ(window.focusWidget(), window.encryptionPage->txtPasswordAgain);
    EXPECT_EQ(window.encryptionPage->txtPasswordAgain->selectedText(), QStringLiteral("two"));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"Please Enter the Same Password Twice"});
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs.messages[0].title, window.windowTitle());
    EXPECT_FALSE(window.isRunning());
    EXPECT_TRUE(window.cmdNext->isEnabled());
    EXPECT_EQ(TempFolder::read(path), page);
    EXPECT_EQ(QDir(site.path()).entryList(QDir::Files), QStringList{"a.htm"}) << "nothing written";
}

} // namespace
