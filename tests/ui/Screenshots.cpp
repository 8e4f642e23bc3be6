// Renders the window to PNG files for the documentation: quillora_screenshots FOLDER (headless with
// QT_QPA_PLATFORM=offscreen). The pictures follow the window through a small sample site, once in the desktop's
// light colours and once, for the results, in a dark theme.
#include "DarkPalette.h"
#include "FakeDialogService.h"
#include "FakeUrlOpener.h"
#include "WindowTour.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QTemporaryDir>
#include <QTextStream>

using namespace quillora;

namespace {

// The names the README shows, and the prefix of each set.
const QStringList kShown = {"pick-files", "store-files", "encryption", "scripts", "results-running", "results"};
const QStringList kShownDark = {"results"};

bool render(const QString& out, const QString& prefix, const QStringList& names) {
    testing::FakeDialogService dialogs;
    testing::FakeUrlOpener opener;
    QTemporaryDir programFolder;
    // A fixed place, so that the pictures show the same paths every time.
    QDir sample(QDir::temp().filePath(QStringLiteral("quillora-sample")));
    sample.removeRecursively();
    ui::frmMain window(programFolder.path(), dialogs, opener);
    window.resize(window.sizeHint().expandedTo(QSize(760, 520)));
    window.show();
    QString failure;
    const bool toured = testing::tourWindow(
        window, dialogs, sample.path(),
        [&](const QString& name) {
            if (!names.contains(name))
                return;
            QApplication::processEvents();
            window.grab().save(QDir(out).filePath(prefix + name + QStringLiteral(".png")));
            QTextStream(stdout) << "wrote " << prefix << name << ".png\n";
        },
        failure);
    if (!toured)
        QTextStream(stderr) << failure << "\n";
    sample.removeRecursively();
    return toured;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool light = render(out, QString(), kShown);
    QApplication::setPalette(testing::darkPalette());
    const bool dark = render(out, QStringLiteral("dark-"), kShownDark);
    return light && dark ? 0 : 1;
}
