// Renders pages of the window to PNG files for the documentation: screenshots FOLDER (headless with
// QT_QPA_PLATFORM=offscreen). The pages show a small sample selection and a finished run over it.
#include "EventBound.h"
#include "FakeDialogService.h"
#include "FakeUrlOpener.h"
#include "selection/SelectionTree.h"
#include "ui/ScriptsPage.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>

using namespace quillora;
using quillora::testing::kEventBoundMs;

namespace {

void save(ui::frmMain& window, const QString& folder, const QString& name) {
    window.grab().save(QDir(folder).filePath(name));
    QTextStream(stdout) << "wrote " << name << "\n";
}

void writePage(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("<html><head><title>t</title></head><body><p>Hello</p></body></html>");
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    // A fixed place, so that the pictures show the same paths every time.
    QDir sample(QDir::temp().filePath(QStringLiteral("quillora-sample")));
    sample.removeRecursively();
    for (const char* name :
         {"site/index.htm", "site/about.html", "site/news/2006.htm", "site/news/archive.htm", "extra/contact.htm"})
        writePage(sample.filePath(QString::fromLatin1(name)));

    testing::FakeDialogService dialogs;
    testing::FakeUrlOpener opener;
    QTemporaryDir programFolder;
    ui::frmMain window(programFolder.path(), dialogs, opener);
    window.resize(window.sizeHint().expandedTo(QSize(760, 500)));
    window.show();

    window.cmdNext_Click();
    auto* tree = window.findChild<selection::SelectionTree*>(QStringLiteral("treeFolders"));
    tree->AddFolderNode(sample.filePath(QStringLiteral("site")), tree->rootNode());
    tree->AddFileNode(sample.filePath(QStringLiteral("extra/contact.htm")), tree->rootNode());
    tree->expandAll();
    window.CheckEnableDisableNextButton();
    save(window, out, QStringLiteral("pick-files.png"));

    window.cmdNext_Click();
    window.cmdNext_Click();
    window.cmdNext_Click();
    window.scriptsPage->chkScript[0]->setChecked(true);
    window.scriptsPage->chkScript[1]->setChecked(true);
    save(window, out, QStringLiteral("scripts.png"));

    // The sample run writes "protected_" copies beside the sample pages.
    window.ShowPage(2);
    window.findChild<QWidget*>(QStringLiteral("optSave(2)"))->setProperty("checked", true);
    window.ShowPage(4);
    QSignalSpy finished(&window, &ui::frmMain::runFinished);
    window.cmdNext_Click();
    finished.wait(kEventBoundMs);
    save(window, out, QStringLiteral("results.png"));
    sample.removeRecursively();
    return 0;
}
