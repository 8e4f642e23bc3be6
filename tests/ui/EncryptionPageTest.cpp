#include "ui/EncryptionPage.h"

#include "FakeDialogService.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillora;
using quillora::testing::FakeDialogService;

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

} // namespace
