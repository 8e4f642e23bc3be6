#include "WindowTour.h"

#include "EventBound.h"
#include "FakeDialogService.h"
#include "disk/PosixFileSystem.h"
#include "selection/NativePath.h"
#include "selection/SelectionTree.h"
#include "ui/EncryptionPage.h"
#include "ui/PickFilesPage.h"
#include "ui/ResultsPage.h"
#include "ui/ScriptsPage.h"
#include "ui/StoreFilesPage.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace quillora::testing {

namespace {

void writePage(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("<html><head><title>t</title></head><body><p>Hello</p></body></html>");
}

void pickSample(ui::frmMain& window, FakeDialogService& dialogs, const QDir& sample) {
    window.cmdNext->click();
    dialogs.folderResults.enqueue(sample.filePath(QStringLiteral("site")));
    window.pickFilesPage->cmdAddFolder->click();
    dialogs.fileResults.enqueue({sample.filePath(QStringLiteral("extra/contact.htm")), 0});
    window.pickFilesPage->cmdAddFile->click();
    window.pickFilesPage->treeFolders->expandAll();
}

void chooseTargets(ui::frmMain& window, const QDir& sample, const std::function<void(const QString&)>& shot) {
    window.cmdNext->click();
    ui::StoreFilesPage& store = *window.storeFilesPage;
    store.optSave[1]->setChecked(true);
    store.txtSaveDir->setText(sample.filePath(QStringLiteral("site")));
    shot(QStringLiteral("store-files"));
    store.optSave[2]->setChecked(true); // the run writes protected_ copies beside the sample pages
}

void typePasswords(ui::frmMain& window, const std::function<void(const QString&)>& shot) {
    window.cmdNext->click();
    ui::EncryptionPage& encryption = *window.encryptionPage;
    encryption.chkPasswordScript->setChecked(true);
    encryption.chkEncrypt->setChecked(true);
    encryption.txtPassword->setText(QStringLiteral("open sesame"));
    encryption.txtPasswordAgain->setText(QStringLiteral("open sesamo"));
    shot(QStringLiteral("encryption"));
    encryption.chkPasswordScript->setChecked(false);
}

} // namespace

bool tourWindow(ui::frmMain& window, FakeDialogService& dialogs, const QString& sample,
                const std::function<void(const QString& name)>& shot, QString& failure) {
    const QDir site(sample);
    for (const char* name :
         {"site/index.htm", "site/about.html", "site/news/2006.htm", "site/news/archive.htm", "extra/contact.htm"})
        writePage(site.filePath(QString::fromLatin1(name)));
    shot(QStringLiteral("welcome"));
    pickSample(window, dialogs, site);
    shot(QStringLiteral("pick-files"));
    chooseTargets(window, site, shot);
    typePasswords(window, shot);
    window.cmdNext->click();
    window.scriptsPage->chkScript[0]->setChecked(true);
    window.scriptsPage->chkScript[1]->setChecked(true);
    window.scriptsPage->chkRightMouse->setChecked(true);
    shot(QStringLiteral("scripts"));

    // The fourth page in the run's order is held, as another program's run would hold it.
    disk::PosixFileSystem disk;
    std::unique_ptr<disk::LockedFile> held;
    if (disk.openLocked(selection::toNativePath(site.filePath(QStringLiteral("site/news/archive.htm"))),
                        std::chrono::milliseconds{0}, held)) {
        failure = QStringLiteral("could not lock the sample page");
        return false;
    }
    QSignalSpy finished(&window, &ui::frmMain::runFinished);
    window.cmdNext->click();
    if (!QTest::qWaitFor([&] { return window.resultsPage->writtenPages().size() == 3; }, kEventBoundMs)) {
        failure = QStringLiteral("the first three pages were not listed");
        return false;
    }
    shot(QStringLiteral("results-running"));
    window.resultsPage->cmdStop->click();
    held.reset();
    if (!QTest::qWaitFor([&] { return !finished.isEmpty(); }, kEventBoundMs)) {
        failure = QStringLiteral("the stopped run did not end");
        return false;
    }
    shot(QStringLiteral("results"));
    return true;
}

} // namespace quillora::testing
