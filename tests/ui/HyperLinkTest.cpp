#include "ui/HyperLink.h"

#include "ui/HyperLink2.h"

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using quillora::ui::HyperLink;
using quillora::ui::HyperLink2;

namespace {

TEST(HyperLinkTest, Defaults) {
    HyperLink link;
    EXPECT_EQ(link.text(), QStringLiteral("www.example.com"));
    EXPECT_TRUE(link.URL().isEmpty());
    EXPECT_EQ(link.BackColor(), link.palette().color(QPalette::Button));
    EXPECT_FALSE(link.isUnderlined());
}

TEST(HyperLinkTest, PropertiesAreReachableByName) {
    HyperLink2 link;
    EXPECT_STREQ(link.metaObject()->className(), "quillora::ui::HyperLink2");
    link.setProperty("text", QStringLiteral("Scripts"));
    link.setProperty("URL", QStringLiteral("https://example.com/"));
    link.setProperty("BackColor", QColor(113, 147, 228));
    EXPECT_EQ(link.text(), QStringLiteral("Scripts"));
    EXPECT_EQ(link.URL(), QStringLiteral("https://example.com/"));
    EXPECT_EQ(link.BackColor(), QColor(113, 147, 228));
}

TEST(HyperLinkTest, UnderlinedWhileThePointerIsOverIt) {
    HyperLink link;
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);

    QCoreApplication::sendEvent(&link, &enter);
    EXPECT_TRUE(link.isUnderlined());
    QCoreApplication::sendEvent(&link, &leave);
    EXPECT_FALSE(link.isUnderlined());
}

TEST(HyperLinkTest, UnderlinedWhileItHasTheFocus) {
    HyperLink link;
    QFocusEvent in(QEvent::FocusIn);
    QFocusEvent out(QEvent::FocusOut);
    QEvent leave(QEvent::Leave);

    QCoreApplication::sendEvent(&link, &in);
    EXPECT_TRUE(link.isUnderlined());
    QCoreApplication::sendEvent(&link, &out);
    EXPECT_FALSE(link.isUnderlined());

    // Leaving with the pointer removes the underline even while the focus stays.
    QCoreApplication::sendEvent(&link, &in);
    QCoreApplication::sendEvent(&link, &leave);
    EXPECT_FALSE(link.isUnderlined());
}

TEST(HyperLinkTest, ClickAndSpaceRaiseClick) {
    HyperLink link;
    link.resize(120, 20);
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    QSignalSpy clicked(&link, &HyperLink::Click);

    QTest::mouseClick(&link, Qt::LeftButton);
    QTest::mouseClick(&link, Qt::RightButton);
    QTest::keyClick(&link, Qt::Key_Space);
    QTest::keyClick(&link, Qt::Key_A);

    EXPECT_EQ(clicked.size(), 2);
}

TEST(HyperLinkTest, TextStaysReadableOnADarkBackground) {
    HyperLink link;
    link.setBackColor(QColor(113, 147, 228));
    const QColor onDark = link.palette().color(QPalette::WindowText);
    link.setBackColor(Qt::white);
    const QColor onLight = link.palette().color(QPalette::WindowText);
    EXPECT_GT(onDark.lightness(), 200);
    EXPECT_LT(onLight.lightness(), 120);
}

} // namespace
