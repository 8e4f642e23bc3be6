#include "WindowArguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace quillora::ui {

WindowArguments WindowArguments::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prepares web pages for publication so that they resist casual copying.\n"
                       "The window opens with the pages (.htm, .html) and folders given already picked."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A page or a folder of pages to protect."),
                                 QStringLiteral("[path...]"));
    const bool understood = parser.parse(arguments);

    WindowArguments asked;
    // Asked for help, help is given, whatever else the line holds.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        asked.action = Action::Print;
        asked.text = parser.helpText();
    } else if (!understood) {
        asked.action = Action::Fail;
        asked.text = parser.errorText() + QStringLiteral("\nTry 'quillora --help' for more information.\n");
    } else if (parser.isSet(version)) {
        asked.action = Action::Print;
        asked.text = QStringLiteral("quillora %1\n").arg(QCoreApplication::applicationVersion());
    } else {
        for (const QString& path : parser.positionalArguments())
            asked.paths << QFileInfo(path).absoluteFilePath();
    }
    return asked;
}

} // namespace quillora::ui
