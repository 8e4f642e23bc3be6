#pragma once

#include <QString>
#include <QStringList>

namespace quillora::ui {

/// What the window program is asked for on its command line: quillora [PATH...], --help, --version.
struct WindowArguments {
    enum class Action {
        OpenWindow, // with the paths picked
        Print,      // text goes to standard output, and the program ends
        Fail,       // text goes to standard error, and the program ends with status 1
    };

    Action action = Action::OpenWindow;
    QString text;
    QStringList paths; // pages and folders to pick, made absolute

    /// Reads arguments as QCoreApplication::arguments() gives them, the program's own path first. The application's
    /// name and version are the ones --help and --version tell.
    static WindowArguments parse(const QStringList& arguments);
};

} // namespace quillora::ui
