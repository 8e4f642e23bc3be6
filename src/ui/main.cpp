#include "Artwork.h"
#include "DesktopUrlOpener.h"
#include "frmMain.h"
#include "selection/AppInfo.h"
#include "selection/QtDialogService.h"

#include <QApplication>
#include <QSettings>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(quillora::selection::kApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(QUILLORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillora"));
    QApplication::setWindowIcon(quillora::ui::artwork::appIcon());

    quillora::selection::QtDialogService dialogs;
    quillora::ui::DesktopUrlOpener opener;
    quillora::ui::frmMain window(QCoreApplication::applicationDirPath(), dialogs, opener);
    // The last choices, in the user's configuration folder (~/.config/Quillora/Quillora.conf).
    window.rememberChoices(std::make_unique<QSettings>(QStringLiteral("Quillora"), QStringLiteral("Quillora")));
    window.show();
    return QApplication::exec();
}
