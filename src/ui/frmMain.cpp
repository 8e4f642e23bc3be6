#include "frmMain.h"

#include "Artwork.h"
#include "BackgroundRun.h"
#include "EncryptionPage.h"
#include "HyperLink.h"
#include "HyperLink2.h"
#include "PickFilesPage.h"
#include "ResultsPage.h"
#include "ScriptsPage.h"
#include "SideBar.h"
#include "StoreFilesPage.h"
#include "TabOrder.h"
#include "UrlOpener.h"
#include "WelcomePage.h"
#include "crypto/SecretMemory.h"
#include "project/ProjectFile.h"
#include "project/ProjectWriter.h"
#include "run/FileHelpers.h"
#include "run/RunMessages.h"
#include "selection/AppInfo.h"
#include "selection/DialogService.h"
#include "selection/NativePath.h"
#include "selection/SelectionTree.h"
#include "selection/TreeNodes.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSettings>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

const QString kCaptionNext = QStringLiteral("&Next >>");
const QString kCaptionProtect = QStringLiteral("&Protect");
const QString kCaptionRestart = QStringLiteral("&Restart");
constexpr int kPagePickFiles = 1;
constexpr int kPageStoreFiles = 2;
constexpr int kPageEncryption = 3;
constexpr int kPageScripts = 4;
constexpr int kPageMinimumWidth = 460;
const QString kGeometryKey = QStringLiteral("window/geometry");

// No button takes Enter for itself: Enter presses Next wherever the focus is (Space presses the focused button).
QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    pushButton->setObjectName(name);
    return pushButton;
}

} // namespace

frmMain::frmMain(const QString& programFolder, selection::DialogService& dialogs, UrlOpener& opener, QWidget* parent)
    : QWidget(parent), m_lastPath(programFolder), m_pickers(dialogs, m_lastPath), m_dialogs(dialogs), m_opener(opener),
      m_messages(dialogs, *this), picLeft(new SideBar(this)), lblNextReason(new QLabel(this)),
      picLine(new QFrame(this)), cmdPrev(button(QStringLiteral("cmdPrev"), QStringLiteral("<< &Back"), this)),
      cmdNext(button(QStringLiteral("cmdNext"), kCaptionNext, this)),
      cmdExit(button(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this)), lblProject(new QLabel(this)),
      m_pages(new QStackedWidget(this)), m_run(new BackgroundRun(this)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(artwork::appIcon());
    picLine->setObjectName(QStringLiteral("picLine"));
    picLine->setFrameShape(QFrame::HLine);
    picLine->setFrameShadow(QFrame::Sunken);
    cmdNext->setDefault(true);
    lblNextReason->setObjectName(QStringLiteral("lblNextReason"));
    lblNextReason->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblNextReason->setWordWrap(true);
    buildPages();

    auto* right = new QVBoxLayout;
    right->setContentsMargins(16, 12, 16, 12);
    right->addWidget(m_pages, 1);
    lblProject->setObjectName(QStringLiteral("lblProject"));
    lblProject->setWordWrap(true);
    lblProject->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblProject->hide();
    right->addWidget(lblProject);
    right->addWidget(lblNextReason);
    right->addWidget(picLine);
    right->addLayout(buildButtons());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picLeft);
    layout->addLayout(right, 1);
    // The window never gets smaller than the side bar beside one page.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    buildMenu();

    connectControls();
    chainTabOrder(*this);
    startUp();
    resize(sizeHint());
}

frmMain::~frmMain() {
    // The run may still wait for this window; it ends before the pages go.
    delete m_run;
}

void frmMain::buildPages() {
    welcomePage = new WelcomePage(m_pages);
    pickFilesPage = new PickFilesPage(m_dialogs, m_pickers, m_lastPath, m_pages);
    storeFilesPage = new StoreFilesPage(m_dialogs, m_pickers, m_lastPath, m_pages);
    encryptionPage = new EncryptionPage(m_dialogs, m_pages);
    scriptsPage = new ScriptsPage(m_dialogs, m_pages);
    resultsPage = new ResultsPage(m_pages);
    picFrame = {welcomePage, pickFilesPage, storeFilesPage, encryptionPage, scriptsPage, resultsPage};
    for (int i = 0; i < kPageCount; ++i) {
        picFrame[i]->setObjectName(QStringLiteral("picFrame(%1)").arg(i));
        m_pages->addWidget(picFrame[i]);
    }
    m_pages->setMinimumWidth(kPageMinimumWidth);
}

QLayout* frmMain::buildButtons() {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdPrev);
    buttons->addWidget(cmdNext);
    buttons->addSpacing(16);
    buttons->addWidget(cmdExit);
    return buttons;
}

void frmMain::connectControls() {
    connect(cmdNext, &QPushButton::clicked, this, &frmMain::cmdNext_Click);
    connect(cmdPrev, &QPushButton::clicked, this, &frmMain::cmdPrev_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(resultsPage->cmdViewPage, &QPushButton::clicked, this, &frmMain::cmdViewPage_Click);
    connect(resultsPage->cmdOpenFolder, &QPushButton::clicked, this, &frmMain::cmdOpenFolder_Click);
    connect(resultsPage->cmdRestore, &QPushButton::clicked, this, &frmMain::cmdRestore_Click);
    connect(resultsPage->cmdStop, &QPushButton::clicked, this, &frmMain::cmdStop_Click);
    connect(pickFilesPage, &PickFilesPage::restoreFolderRequested, this, &frmMain::restoreFolder);
    connect(storeFilesPage, &StoreFilesPage::problemChanged, this, &frmMain::updateNextReason);
    connect(encryptionPage, &EncryptionPage::problemChanged, this, &frmMain::updateNextReason);
    connect(welcomePage, &WelcomePage::imgMainClicked, this, &frmMain::imgMain_Click);
    connect(welcomePage->HyperLink21, &HyperLink::Click, this,
            [this] { m_opener.openUrl(QUrl::fromUserInput(welcomePage->HyperLink21->text())); });
    connect(pickFilesPage, &PickFilesPage::CheckEnableDisableNextButton, this, &frmMain::CheckEnableDisableNextButton);
    connect(pickFilesPage, &PickFilesPage::CheckEnableDisableNextButton, this, &frmMain::offerFoundProject);
    connect(encryptionPage, &EncryptionPage::encryptionChanged, storeFilesPage, &StoreFilesPage::setEncrypting);

    connect(m_run, &BackgroundRun::statusText, resultsPage->lblResults, &QLabel::setText);
    connect(m_run, &BackgroundRun::fileListed, this, &frmMain::pageListed);
    connect(m_run, &BackgroundRun::progress, resultsPage, &ResultsPage::setProgress);
    connect(m_run, &BackgroundRun::alreadyProtected, resultsPage, &ResultsPage::addAlreadyProtectedNode);
    connect(m_run, &BackgroundRun::notReached, resultsPage, &ResultsPage::addNotReachedNode);
    connect(m_run, &BackgroundRun::protectedInPart, resultsPage, &ResultsPage::markProtectedInPart);
    connect(m_run, &BackgroundRun::pageFailed, this, &frmMain::pageFailed);
    connect(m_run, &BackgroundRun::folderFailed, this, &frmMain::folderFailed);
    connect(m_run, &BackgroundRun::otherFailed, this, &frmMain::otherFailed);
    connect(m_run, &BackgroundRun::refused, this, &frmMain::runRefused);
    connect(m_run, &BackgroundRun::finished, this, &frmMain::endRun);
    connect(m_run, &BackgroundRun::originalsFolder, this, [this](const QString& folder) {
        resultsPage->addNote(QString::fromStdString(run::messages::originalsKept(selection::toNativePath(folder))),
                             false);
    });
    connect(m_run, &BackgroundRun::keyFileFound, this, [this](const QString& path, run::KeyFileOrigin origin) {
        resultsPage->addNote(QString::fromStdString(run::messages::keyFileUsed(selection::toNativePath(path), origin)),
                             false);
    });
    connect(m_run, &BackgroundRun::policyNote, this,
            [this](const QString& line, bool failed) { resultsPage->addNote(line, failed); });
    connect(m_run, &BackgroundRun::pageTextFound, this, &frmMain::pageTextFound);
    connect(m_run, &BackgroundRun::readableFound, this, [this](const run::ReadableByDesign& readable) {
        resultsPage->addNote(QString::fromStdString(run::messages::readableByDesign(readable)), false);
    });
}

void frmMain::startUp() {
    setWindowTitle(QString::fromLatin1(selection::kApplicationTitle));
    welcomePage->lblVersion->setText(windowTitle() + QStringLiteral(" 2006"));
    encryptionPage->framProtect->show();
    pickFilesPage->treeFolders->AddRootNode();
    resultsPage->addPlaceholderRoot();
    storeFilesPage->resetOutputInfo();
    picLeft->layOutRows();
    m_page = 0;
    ShowPage(0);
    SetPageTitles();
}

engine::ProtectionOptions frmMain::options() const {
    engine::ProtectionOptions chosen;
    storeFilesPage->fill(chosen);
    encryptionPage->fill(chosen);
    scriptsPage->fill(chosen);
    return chosen;
}

void frmMain::ShowPage(int p) {
    for (int i = 0; i < kPageCount; ++i)
        picFrame[i]->setEnabled(i == p);
    m_pages->setCurrentIndex(p);
    picLeft->setCurrent(p);
    if (!m_running) {
        cmdPrev->setEnabled(p >= 1);
        if (p < kLastPage)
            cmdNext->setEnabled(true);
    }
    cmdNext->setText(p == kLastPage - 1 ? kCaptionProtect : p == kLastPage ? kCaptionRestart : kCaptionNext);
    m_page = p;
    updateNextReason();
}

QString frmMain::nextReason(int p) const {
    switch (p) {
    case kPagePickFiles:
        return pickFilesPage->problem();
    case kPageStoreFiles:
        return storeFilesPage->nextReason();
    case kPageEncryption:
        return encryptionPage->problem();
    case kPageScripts:
        // Protect would stop at the first page whose choices the run refuses.
        for (int earlier = kPagePickFiles; earlier < kPageScripts; ++earlier) {
            const QString reason = nextReason(earlier);
            if (!reason.isEmpty())
                return picLeft->lnkFrame[earlier]->text() + QStringLiteral(": ") + reason;
        }
        return {};
    default:
        return {};
    }
}

void frmMain::updateNextReason() {
    storeFilesPage->setPicks(pickFilesPage->treeFolders->selection());
    const QString reason = m_running ? QString() : nextReason(m_page);
    lblNextReason->setText(reason);
    cmdNext->setToolTip(reason);
}

void frmMain::SetPageTitles() {
    picLeft->setTitles({QStringLiteral("Welcome"), QStringLiteral("Pick Files"), QStringLiteral("Store Files"),
                        QStringLiteral("Encryption"), QStringLiteral("Scripts"), QStringLiteral("Results")});
}

void frmMain::Reset() {
    startUp();
}

void frmMain::cmdNext_Click() {
    if (cmdNext->text() == kCaptionRestart) {
        pickFilesPage->clearSelection();
        Reset();
    }
    ShowPage(m_page + 1);
    if (m_page == kPagePickFiles)
        CheckEnableDisableNextButton();
    if (m_page == kLastPage)
        ProtectFiles();
}

void frmMain::cmdPrev_Click() {
    ShowPage(m_page - 1);
}

void frmMain::cmdExit_Click() {
    close();
}

void frmMain::cmdViewPage_Click() {
    openResult(resultsPage->selectedPath());
}

void frmMain::cmdOpenFolder_Click() {
    openResult(resultsPage->selectedFolder());
}

void frmMain::cmdRestore_Click() {
    const QStringList pages = resultsPage->writtenPages();
    if (m_running || pages.isEmpty() || !m_messages.askToRestoreWritten(pages.size()))
        return;
    std::vector<run::SelectionEntry> written;
    written.reserve(static_cast<std::size_t>(pages.size()));
    for (const QString& page : pages)
        written.push_back({selection::toNativePath(page), false});
    resultsPage->beginRestore();
    m_restoring = true;
    beginRun();
    m_run->restore(std::move(written), m_runOptions.backupFolder);
}

void frmMain::cmdStop_Click() {
    if (!m_running)
        return;
    resultsPage->stopping();
    m_run->stop();
}

void frmMain::restoreFolder(const QString& folder) {
    if (m_running || folder.isEmpty() || !m_messages.askToRestoreFolder(folder))
        return;
    ShowPage(kLastPage);
    resultsPage->beginFolderRestore();
    m_restoring = true;
    beginRun();
    m_run->restore({{selection::toNativePath(folder), true}});
}

void frmMain::pickPaths(const QStringList& paths) {
    ShowPage(kPagePickFiles);
    const QStringList refused = pickFilesPage->addPaths(paths);
    CheckEnableDisableNextButton();
    if (!refused.isEmpty())
        m_messages.showNotAdded(refused);
}

void frmMain::rememberGeometryIn(QSettings* settings) {
    m_settings = settings;
    if (m_settings != nullptr)
        restoreGeometry(m_settings->value(kGeometryKey).toByteArray());
}

void frmMain::imgMain_Click() {
    if (++m_eggClicks <= 5)
        return;
    welcomePage->lblEgg->hide();
    welcomePage->imgMain->hide();
    m_messages.showThanks();
}

void frmMain::CheckEnableDisableNextButton() {
    cmdNext->setEnabled(selection::countNodes(pickFilesPage->treeFolders) >= 2);
    updateNextReason();
}

bool frmMain::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // By now the layout has taken in what changed below it.
    if (event->type() == QEvent::LayoutRequest)
        fitPage();
    return handled;
}

// Wrapped texts that gain a line (a long mark shown, a large font) need more height than the window's least; the
// window grows rather than squeeze them.
void frmMain::fitPage() {
    QWidget* page = m_pages->currentWidget();
    QLayout* pageLayout = page == nullptr ? nullptr : page->layout();
    if (pageLayout == nullptr || !pageLayout->hasHeightForWidth() || !isVisible())
        return;
    const int needed = pageLayout->totalHeightForWidth(page->width());
    if (needed > page->height())
        resize(width(), height() + needed - page->height());
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!Form_Unload())
        return event->ignore();
    if (m_settings != nullptr)
        m_settings->setValue(kGeometryKey, saveGeometry());
    saveChoices();
    event->accept();
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && cmdNext->isEnabled())
        return cmdNext->click();
    QWidget::keyPressEvent(event);
}

bool frmMain::Form_Unload() {
    if (m_quitAnswered)
        return true;
    // A run is never cut off: it is asked to stop, and the window closes once it has.
    if (m_running) {
        askToStopAndQuit();
        return false;
    }
    return m_messages.askToQuit();
}

void frmMain::askToStopAndQuit() {
    // Asked and answered once: the run is stopping.
    if (m_quitWhenStopped || !m_messages.askToStopAndQuit() || !m_running)
        return;
    m_quitWhenStopped = true;
    cmdStop_Click();
}

void frmMain::ProtectFiles() {
    // The run sees one password: two that differ are refused here, as the run refuses an empty one.
    if (encryptionPage->passwordsDiffer()) {
        ShowPage(kPageEncryption);
        encryptionPage->txtPasswordAgain->setFocus();
        encryptionPage->txtPasswordAgain->selectAll();
        m_messages.showRunMessage(
            {EncryptionPage::kPasswordsDiffer, run::MessageIcon::Exclamation, run::MessageTitle::MainCaption}, false);
        return;
    }
    if (m_projectSettings.loaded()) {
        startProjectRun();
        return;
    }
    resultsPage->beginRun();
    m_runOptions = options();
    m_restoring = false;
    saveChoices();
    beginRun();
    m_run->start(m_runOptions, pickFilesPage->treeFolders->selection());
    // The run has its own copy, wiped once the key is derived; this one is not needed again.
    crypto::wipe(m_runOptions.password);
}

// A run as the project file describes it, with the pages' choices as its [pages]: the same run as quillora-cli's.
bool frmMain::startProjectRun() {
    const project::Project chosen = m_projectSettings.collect(*this, m_projectSettings.project()->file);
    run::RuleSet rules{engine::ProtectionOptions{}};
    std::string error;
    if (!project::buildRules(chosen, ProjectSettings::passwords(*this), rules, error)) {
        ShowPage(kPageEncryption);
        m_messages.showRunMessage({error, run::MessageIcon::Exclamation, run::MessageTitle::MainCaption}, false);
        return false;
    }
    resultsPage->beginRun();
    m_runOptions = rules.defaults();
    m_restoring = false;
    saveChoices();
    beginRun();
    m_run->start(std::move(rules), pickFilesPage->treeFolders->selection(), true);
    crypto::wipe(m_runOptions.password);
    return true;
}

void frmMain::beginRun() {
    m_messages.beginRun();
    m_running = true;
    cmdPrev->setEnabled(false);
    cmdNext->setEnabled(false);
    updateNextReason();
    // Exit stays: it asks whether to stop the run.
}

void frmMain::endRun(const run::RunSummary& summary) {
    m_running = false;
    resultsPage->endRun(summary);
    // Only an overwrite run with backups leaves originals to go back to; after a restore nothing is left.
    const bool backedUp =
        m_runOptions.storageMode == engine::StorageMode::Overwrite && m_runOptions.makeBackups && !m_restoring;
    resultsPage->cmdRestore->setVisible(backedUp && !resultsPage->writtenPages().isEmpty());
    m_restoring = false;
    cmdPrev->setEnabled(m_page >= 1);
    cmdNext->setEnabled(true);
    updateNextReason();
    if (m_quitWhenStopped) {
        m_quitAnswered = true;
        close();
    }
    Q_EMIT runFinished();
}

void frmMain::pageFailed(const run::FileEntry& entry, const run::PageProblem& problem, bool skipped) {
    const auto message = run::messages::pageProblem(problem);
    resultsPage->addFailedNode(
        entry, QString::fromStdString(message.text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")), skipped);
    m_messages.showRunProblem(message);
}

void frmMain::folderFailed(const QString& folder, const run::PageProblem& problem) {
    const auto message = run::messages::folderProblem(problem);
    resultsPage->addFailedFolderNode(folder, QString::fromStdString(message.text));
    m_messages.showRunProblem(message);
}

void frmMain::pageListed(const run::FileEntry& entry, const QString& outputPath) {
    if (m_restoring)
        resultsPage->addRestoredNode(entry, outputPath);
    else
        resultsPage->AddResultNode(entry, outputPath);
}

void frmMain::otherFailed(const QString& path, const run::PageProblem& problem) {
    m_messages.showOtherFileProblem(path, problem);
}

void frmMain::runRefused(const run::RunRefusal& refusal) {
    using Reason = run::RunRefusal::Reason;
    switch (refusal.reason) {
    case Reason::NothingPicked:
        resultsPage->lblResults->setText(QString::fromUtf8(run::messages::kNothingPickedLabel));
        break;
    case Reason::PasswordMissing:
    case Reason::PasswordNotScriptSafe:
    case Reason::PasswordTooWeak:
        ShowPage(kPageEncryption);
        encryptionPage->txtPassword->setFocus();
        break;
    case Reason::WarningNotScriptSafe:
        ShowPage(kPageScripts);
        scriptsPage->txtRightClickWarning->setFocus();
        break;
    case Reason::AttributionNotScriptSafe:
        ShowPage(kPageScripts);
        scriptsPage->txtCopyAttribution->setFocus();
        break;
    case Reason::NoticeEndsComment:
        ShowPage(kPageStoreFiles);
        storeFilesPage->txtCopyrightNotice->setFocus();
        break;
    case Reason::EncryptionUnavailable:
        ShowPage(kPageEncryption);
        break;
    case Reason::TargetFolderMissing:
    case Reason::TargetIsAPickedFolder:
    case Reason::OutputIsAPickedPage:
    case Reason::TargetNotAFolder:
    case Reason::OutputsClash:
        ShowPage(kPageStoreFiles);
        storeFilesPage->txtSaveDir->setFocus();
        break;
    case Reason::EncryptedBeside:
        ShowPage(kPageStoreFiles);
        storeFilesPage->optSave[2]->setFocus();
        break;
    case Reason::BackupFolderInside:
    case Reason::BackupFolderNotAFolder:
    case Reason::NoPlaceForOriginals:
        ShowPage(kPageStoreFiles);
        storeFilesPage->txtBackupDir->setFocus();
        break;
    case Reason::NoPlaceForKeyFile:
    case Reason::KeyFileInside:
    case Reason::KeyFileUnreadable:
    case Reason::KeyFileUnwritable:
    case Reason::KeyFileWrongPassword:
    case Reason::KeyFileMissing:
    case Reason::KeyChangeRefused:
        ShowPage(kPageEncryption);
        encryptionPage->txtKeyFile->setFocus();
        break;
    case Reason::NoSuchLevel:
        ShowPage(kPageEncryption);
        encryptionPage->txtKeyLevel->setFocus();
        break;
    case Reason::UnlockTemplateUnreadable:
    case Reason::UnlockTemplateRefused:
        ShowPage(kPageEncryption);
        break;
    }
    m_messages.showRunMessage(run::messages::refusal(refusal), false);
}

void frmMain::buildMenu() {
    // A menu, not buttons: the pages' Tab order stays as it is.
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    QMenu* settings = menuBar->addMenu(QStringLiteral("Se&ttings"));
    actOpenSettings = settings->addAction(QStringLiteral("&Open settings\u2026"), this, &frmMain::OpenSettings_Click);
    actOpenSettings->setShortcut(QKeySequence::Open);
    actSaveSettings = settings->addAction(QStringLiteral("&Save settings\u2026"), this, &frmMain::SaveSettings_Click);
    actSaveSettings->setShortcut(QKeySequence::Save);
    this->layout()->setMenuBar(menuBar);
}

void frmMain::OpenSettings_Click() {
    selection::FileDialogRequest request;
    request.kind = selection::FileDialogRequest::Kind::Open;
    request.owner = this;
    request.title = QStringLiteral("Open Settings");
    request.fileName = QString::fromLatin1(run::kProjectFileName);
    request.filters = {QStringLiteral("Quillora project files (*.toml)"), QStringLiteral("All files (*)")};
    const auto chosen = m_dialogs.getFileName(request);
    if (!chosen.path.isEmpty())
        openProject(chosen.path);
}

bool frmMain::openProject(const QString& file) {
    project::Project read;
    std::string error;
    if (!project::ProjectFile::read(selection::toNativePath(file), read, error)) {
        m_dialogs.showMessage({QString::fromStdString(error), windowTitle(), QMessageBox::Warning, QMessageBox::Ok});
        return false;
    }
    m_projectSettings.load(read, *this);
    m_offeredProjects.insert(file);
    showProject();
    return true;
}

void frmMain::SaveSettings_Click() {
    selection::FileDialogRequest request;
    request.kind = selection::FileDialogRequest::Kind::SaveWithOverwritePrompt;
    request.owner = this;
    request.title = QStringLiteral("Save Settings");
    const auto& loaded = m_projectSettings.project();
    request.initialFolder = loaded ? QString::fromStdString(loaded->root) : QString();
    request.fileName = QString::fromLatin1(run::kProjectFileName);
    request.filters = {QStringLiteral("Quillora project files (*.toml)")};
    request.defaultSuffix = QStringLiteral("toml");
    const auto chosen = m_dialogs.getFileName(request);
    if (chosen.path.isEmpty())
        return;
    const project::Project made = m_projectSettings.collect(*this, selection::toNativePath(chosen.path));
    QSaveFile out(chosen.path);
    const std::string text = project::ProjectWriter::write(made);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
        !out.commit()) {
        m_dialogs.showMessage({QStringLiteral("Unable to save %1\n\n%2").arg(chosen.path, out.errorString()),
                               windowTitle(), QMessageBox::Warning, QMessageBox::Ok});
        return;
    }
    openProject(chosen.path);
}

// A folder picked with a project file at its top: its settings are offered, once.
void frmMain::offerFoundProject() {
    if (m_projectSettings.loaded())
        return;
    for (const auto& picked : pickFilesPage->treeFolders->selection()) {
        if (!picked.isFolder)
            continue;
        const QString file =
            QDir(QString::fromStdString(picked.path)).filePath(QString::fromLatin1(run::kProjectFileName));
        if (m_offeredProjects.contains(file) || !QFileInfo(file).isFile())
            continue;
        m_offeredProjects.insert(file);
        const auto answer = m_dialogs.showMessage(
            {QStringLiteral("%1 holds a project file.\n\nUse its settings?").arg(QDir::toNativeSeparators(file)),
             windowTitle(), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No});
        if (answer == QMessageBox::Yes && openProject(file))
            return;
    }
}

void frmMain::showProject() {
    const auto& loaded = m_projectSettings.project();
    if (!loaded) {
        lblProject->hide();
        return;
    }
    QString text = QStringLiteral("Settings of %1").arg(QDir::toNativeSeparators(QString::fromStdString(loaded->file)));
    if (const QString beyond = m_projectSettings.describeBeyond(); !beyond.isEmpty())
        text += QStringLiteral("\n") + beyond;
    lblProject->setText(text);
    lblProject->show();
}

void frmMain::rememberChoices(std::unique_ptr<QSettings> settings) {
    m_memory = std::move(settings);
    const QByteArray kept = m_memory->value(QStringLiteral("choices")).toByteArray();
    project::Project last;
    std::string error;
    // The last choices are kept as a project file's text; one this version cannot read is passed over.
    if (!kept.isEmpty() && project::ProjectFile::parse(kept.toStdString(), "quillora.toml", last, error))
        ProjectSettings::show(last, *this);
}

void frmMain::saveChoices() {
    if (m_memory == nullptr)
        return;
    const project::Project chosen = ProjectSettings().collect(*this, "quillora.toml");
    m_memory->setValue(QStringLiteral("choices"), QByteArray::fromStdString(project::ProjectWriter::write(chosen)));
    m_memory->sync();
}

void frmMain::pageTextFound(const QStringList& paths, bool copied) {
    QStringList shown;
    for (const QString& path : paths)
        shown.append(QDir::toNativeSeparators(path));
    resultsPage->addNote(QString::fromStdString(run::messages::pageTextFiles(copied)) + QLatin1Char('\n') +
                             shown.join(QLatin1Char('\n')),
                         true);
}

void frmMain::openResult(const QString& path) {
    if (!path.isEmpty() && !m_opener.openUrl(QUrl::fromLocalFile(path)))
        m_messages.showUnableToOpen(path);
}

} // namespace quillora::ui
