#include "WindowFixture.h"
#include "ui/WelcomePage.h"

#include <QLabel>
#include <QProcess>

using namespace quillora;
using quillora::testing::WindowFixture;

namespace {

class VersionTest : public WindowFixture {};

TEST_F(VersionTest, TheWindowTellsTheVersionTheCommandLineTells) {
    QProcess cli;
    cli.start(QStringLiteral(QUILLORA_CLI_PATH), {QStringLiteral("--version")});
    ASSERT_TRUE(cli.waitForFinished(10000));
    const QString printed = QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
    ASSERT_TRUE(printed.startsWith(QStringLiteral("quillora-cli "))) << printed.toStdString();
    const QString version = printed.mid(printed.indexOf(QLatin1Char(' ')) + 1);
    EXPECT_FALSE(version.isEmpty());

    EXPECT_EQ(window.welcomePage->lblVersion->toolTip(), QStringLiteral("Version ") + version);
    EXPECT_EQ(window.welcomePage->lblVersion->text(), QStringLiteral("Quillora 2006"));
}

} // namespace
