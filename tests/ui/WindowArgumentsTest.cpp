#include "ui/WindowArguments.h"

#include "TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

using namespace quillora;
using Action = ui::WindowArguments::Action;

namespace {

ui::WindowArguments parse(const QStringList& arguments) {
    return ui::WindowArguments::parse(QStringList{QStringLiteral("quillora")} + arguments);
}

TEST(WindowArgumentsTest, PathsArePickedAsAbsolutePaths) {
    const auto asked =
        parse({QStringLiteral("site"), QStringLiteral("/web/a.htm"), QStringLiteral("--"), QStringLiteral("-odd.htm")});
    EXPECT_EQ(asked.action, Action::OpenWindow);
    EXPECT_EQ(asked.paths,
              (QStringList{QDir::current().absoluteFilePath(QStringLiteral("site")), QStringLiteral("/web/a.htm"),
                           QDir::current().absoluteFilePath(QStringLiteral("-odd.htm"))}));
    EXPECT_EQ(parse({}).action, Action::OpenWindow);
    EXPECT_TRUE(parse({}).paths.isEmpty());
}

TEST(WindowArgumentsTest, HelpVersionAndMistakes) {
    struct Row {
        QStringList arguments;
        Action action;
        const char* start; // how the text begins
        const char* within;
    };
    const QString version = QCoreApplication::applicationVersion();
    const Row rows[] = {
        {{QStringLiteral("--help")}, Action::Print, "Usage: ", "[path...]"},
        {{QStringLiteral("-h"), QStringLiteral("site")}, Action::Print, "Usage: ", "-v, --version"},
        {{QStringLiteral("--frobnicate"), QStringLiteral("--help")}, Action::Print, "Usage: ", "--help"},
        {{QStringLiteral("--version")}, Action::Print, "quillora ", "\n"},
        {{QStringLiteral("--frobnicate")}, Action::Fail, "Unknown option 'frobnicate'.", "quillora --help"},
    };
    for (const Row& row : rows) {
        const auto asked = parse(row.arguments);
        const std::string line = row.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(asked.action, row.action) << line;
        EXPECT_TRUE(asked.text.startsWith(QString::fromLatin1(row.start))) << line << ": " << asked.text.toStdString();
        EXPECT_TRUE(asked.text.contains(QString::fromLatin1(row.within))) << line << ": " << asked.text.toStdString();
        EXPECT_TRUE(asked.paths.isEmpty()) << line;
    }
    EXPECT_EQ(parse({QStringLiteral("--version")}).text, QStringLiteral("quillora %1\n").arg(version));
}

/// The program itself, with no display to open a window on.
QProcess* runWithoutADisplay(const QStringList& arguments) {
    auto* program = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    program->setProcessEnvironment(environment);
    program->start(QStringLiteral(QUILLORA_PATH), arguments);
    return program;
}

TEST(WindowArgumentsTest, TheProgramAnswersHelpAndVersionWithoutADisplay) {
    const std::unique_ptr<QProcess> version(runWithoutADisplay({QStringLiteral("--version")}));
    const std::unique_ptr<QProcess> help(runWithoutADisplay({QStringLiteral("--help")}));
    ASSERT_TRUE(version->waitForFinished(10000));
    ASSERT_TRUE(help->waitForFinished(10000));

    EXPECT_EQ(version->exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(version->readAllStandardOutput()), QStringLiteral("quillora " QUILLORA_VERSION "\n"));
    EXPECT_EQ(help->exitCode(), 0);
    const QString text = QString::fromUtf8(help->readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("[options] [path...]"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("A page or a folder of pages to protect."))) << text.toStdString();
}

} // namespace
