#include "Artwork.h"
#include "DesktopUrlOpener.h"
#include "WindowArguments.h"
#include "frmMain.h"
#include "selection/AppInfo.h"
#include "selection/QtDialogService.h"

#include <QApplication>
#include <QSettings>
#include <cstdio>

namespace {

using quillora::ui::WindowArguments;

// The answer to --help or --version (or to a line that is not understood), or nullopt-like -1 to go on.
int answered(const WindowArguments& arguments) {
    if (arguments.action == WindowArguments::Action::OpenWindow)
        return -1;
    const bool failed = arguments.action == WindowArguments::Action::Fail;
    std::fputs(arguments.text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QString::fromLatin1(quillora::selection::kApplicationTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLORA_VERSION));
    {
        // --help and --version are answered without a display to open the window on. Qt's own options (-platform,
        // -style) are taken out of the line only by the QApplication below, so nothing else is judged yet.
        const QCoreApplication early(argc, argv);
        const WindowArguments asked = WindowArguments::parse(QCoreApplication::arguments());
        if (asked.action == WindowArguments::Action::Print)
            return answered(asked);
    }
    QApplication app(argc, argv);
    const WindowArguments arguments = WindowArguments::parse(QCoreApplication::arguments());
    if (const int status = answered(arguments); status >= 0)
        return status;
    QApplication::setDesktopFileName(QStringLiteral("quillora"));
    QApplication::setWindowIcon(quillora::ui::artwork::appIcon());

    quillora::selection::QtDialogService dialogs;
    quillora::ui::DesktopUrlOpener opener;
    quillora::ui::frmMain window(QCoreApplication::applicationDirPath(), dialogs, opener);
    // Beside filepath.txt in the user's configuration folder: ~/.config/Quillora/window.ini.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::applicationName(),
                       QStringLiteral("window"));
    window.rememberGeometryIn(&settings);
    if (!arguments.paths.isEmpty())
        window.pickPaths(arguments.paths);
    window.show();
    return QApplication::exec();
}
