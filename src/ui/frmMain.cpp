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
#include "UrlOpener.h"
#include "WelcomePage.h"
#include "selection/AppInfo.h"
#include "selection/DialogService.h"
#include "selection/SelectionTree.h"
#include "selection/TreeNodes.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
constexpr int kPageMinimumWidth = 460;

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    pushButton->setObjectName(name);
    pushButton->setAutoDefault(true);
    return pushButton;
}

QMessageBox::Icon messageIcon(run::MessageIcon icon) {
    switch (icon) {
    case run::MessageIcon::Information:
        return QMessageBox::Information;
    case run::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case run::MessageIcon::Error:
        return QMessageBox::Critical;
    case run::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

frmMain::frmMain(const QString& programFolder, selection::DialogService& dialogs, UrlOpener& opener, QWidget* parent)
    : QWidget(parent), m_lastPath(programFolder), m_pickers(dialogs, m_lastPath), m_dialogs(dialogs), m_opener(opener),
      picLeft(new SideBar(this)), picLine(new QFrame(this)),
      cmdPrev(button(QStringLiteral("cmdPrev"), QStringLiteral("<< &Back"), this)),
      cmdNext(button(QStringLiteral("cmdNext"), kCaptionNext, this)),
      cmdExit(button(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this)), m_pages(new QStackedWidget(this)),
      m_run(new BackgroundRun(this)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(artwork::appIcon());
    picLine->setObjectName(QStringLiteral("picLine"));
    picLine->setFrameShape(QFrame::HLine);
    picLine->setFrameShadow(QFrame::Sunken);
    buildPages();

    auto* right = new QVBoxLayout;
    right->setContentsMargins(16, 12, 16, 12);
    right->addWidget(m_pages, 1);
    right->addWidget(picLine);
    right->addLayout(buildButtons());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picLeft);
    layout->addLayout(right, 1);
    // The window never gets smaller than the side bar beside one page.
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connectControls();
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
    storeFilesPage = new StoreFilesPage(m_pickers, m_lastPath, m_pages);
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
    connect(welcomePage, &WelcomePage::imgMainClicked, this, &frmMain::imgMain_Click);
    connect(welcomePage->HyperLink21, &HyperLink::Click, this,
            [this] { m_opener.openUrl(QUrl::fromUserInput(welcomePage->HyperLink21->text())); });
    connect(pickFilesPage, &PickFilesPage::CheckEnableDisableNextButton, this, &frmMain::CheckEnableDisableNextButton);

    connect(m_run, &BackgroundRun::statusText, resultsPage->lblResults, &QLabel::setText);
    connect(m_run, &BackgroundRun::fileListed, resultsPage, &ResultsPage::AddResultNode);
    connect(m_run, &BackgroundRun::progress, resultsPage, &ResultsPage::setProgress);
    connect(m_run, &BackgroundRun::messageShown, this, &frmMain::showRunMessage);
    connect(m_run, &BackgroundRun::passwordPageWanted, this, &frmMain::returnToPasswordPage);
    connect(m_run, &BackgroundRun::storagePageWanted, this, &frmMain::returnToStoragePage);
    connect(m_run, &BackgroundRun::finished, this, &frmMain::endRun);
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
    const QString path = resultsPage->selectedPath();
    if (!path.isEmpty())
        m_opener.openUrl(QUrl::fromLocalFile(path));
}

void frmMain::imgMain_Click() {
    if (++m_eggClicks <= 5)
        return;
    welcomePage->lblEgg->hide();
    welcomePage->imgMain->hide();
    m_dialogs.showMessage({QStringLiteral("Thanks for using Quillora!\nVisit us on the Web at ") +
                               QString::fromLatin1(selection::kWebAddress),
                           windowTitle(), QMessageBox::Information, QMessageBox::Ok});
}

void frmMain::CheckEnableDisableNextButton() {
    cmdNext->setEnabled(selection::countNodes(pickFilesPage->treeFolders) >= 2);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (Form_Unload())
        event->accept();
    else
        event->ignore();
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && cmdNext->isEnabled())
        return cmdNext->click();
    QWidget::keyPressEvent(event);
}

bool frmMain::Form_Unload() {
    // The run cannot be left half done: the window stays until it ends (Exit is disabled meanwhile).
    if (m_running)
        return false;
    const auto answer = m_dialogs.showMessage({QStringLiteral("Are you sure you wish to quit?"), windowTitle(),
                                               QMessageBox::Information, QMessageBox::Yes | QMessageBox::No});
    return answer == QMessageBox::Yes;
}

void frmMain::ProtectFiles() {
    // The run sees one password: two that differ are refused here, as the run refuses an empty one.
    if (encryptionPage->passwordsDiffer()) {
        ShowPage(kPageEncryption);
        encryptionPage->txtPasswordAgain->setFocus();
        encryptionPage->txtPasswordAgain->selectAll();
        showRunMessage(QString::fromLatin1(EncryptionPage::kPasswordsDiffer), run::MessageIcon::Exclamation,
                       run::MessageTitle::MainCaption);
        return;
    }
    resultsPage->beginRun();
    m_running = true;
    cmdPrev->setEnabled(false);
    cmdNext->setEnabled(false);
    cmdExit->setEnabled(false);
    m_run->start(options(), pickFilesPage->treeFolders->selection());
}

void frmMain::endRun() {
    m_running = false;
    resultsPage->endRun();
    cmdPrev->setEnabled(m_page >= 1);
    cmdNext->setEnabled(true);
    cmdExit->setEnabled(true);
    Q_EMIT runFinished();
}

void frmMain::showRunMessage(const QString& text, run::MessageIcon icon, run::MessageTitle title) {
    const QString caption =
        title == run::MessageTitle::MainCaption ? windowTitle() : QString::fromLatin1(selection::kApplicationTitle);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_dialogs.showMessage({shown, caption, messageIcon(icon), QMessageBox::Ok});
}

void frmMain::returnToPasswordPage() {
    ShowPage(kPageEncryption);
    encryptionPage->txtPassword->setFocus();
}

void frmMain::returnToStoragePage() {
    ShowPage(kPageStoreFiles);
    storeFilesPage->txtSaveDir->setFocus();
}

} // namespace quillora::ui
