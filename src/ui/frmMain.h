#pragma once

#include "ProjectSettings.h"
#include "WindowMessages.h"
#include "engine/ProtectionOptions.h"
#include "run/RunMessages.h"
#include "run/RunReporter.h"
#include "selection/LastPathMemory.h"
#include "selection/Pickers.h"

#include <QSet>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QSettings;
class QStackedWidget;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

class BackgroundRun;
class EncryptionPage;
class PickFilesPage;
class ResultsPage;
class ScriptsPage;
class SideBar;
class StoreFilesPage;
class UrlOpener;
class WelcomePage;

/// The program's one window: a six-page wizard with a side bar, Back / Next / Exit, and the protection run
/// behind the last page. Its state: the current page, the option controls, the two trees.
class frmMain : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPageCount = 6;
    static constexpr int kLastPage = kPageCount - 1;

    /// The remembered path, "filepath.txt", is kept in programFolder where that can be written.
    frmMain(const QString& programFolder, selection::DialogService& dialogs, UrlOpener& opener,
            QWidget* parent = nullptr);
    ~frmMain() override;

    int currentPage() const { return m_page; }
    bool isRunning() const { return m_running; }
    /// The choices of the option controls, as a run reads them.
    engine::ProtectionOptions options() const;

    void ShowPage(int p);
    void SetPageTitles();
    void Reset();
    void cmdNext_Click();
    void cmdPrev_Click();
    void cmdExit_Click();
    void cmdViewPage_Click();
    void cmdOpenFolder_Click();
    /// Asks once, then puts back the originals of the pages the last run wrote over.
    void cmdRestore_Click();
    /// Asks the run or restore going on to stop after the page in hand.
    void cmdStop_Click();
    /// Asks once, then puts back the originals of the protected pages below folder, shown on Results.
    void restoreFolder(const QString& folder);
    /// Picks the pages and folders among paths (as given on the command line) and shows Pick Files; what is
    /// neither a folder nor a page is named in a message and left out.
    void pickPaths(const QStringList& paths);
    /// The window takes its last size and place from settings, and leaves them there when it closes.
    void rememberGeometryIn(QSettings* settings);
    void imgMain_Click();
    void CheckEnableDisableNextButton();
    /// Settings > Open settings...: a project file's choices onto the pages, its rules for the runs.
    void OpenSettings_Click();
    /// Settings > Save settings...: the pages' choices into a project file, the rest of a loaded one kept.
    void SaveSettings_Click();
    /// Reads a project file and shows it; false (with a message shown) when it cannot be used.
    bool openProject(const QString& file);
    /// Keeps the last choices in settings between sessions: restores them now, saves them at each run and on quit.
    void rememberChoices(std::unique_ptr<QSettings> settings);
    const ProjectSettings& projectSettings() const { return m_projectSettings; }

Q_SIGNALS:
    /// A protection run (or a restore) has ended and the buttons are usable again.
    void runFinished();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    selection::LastPathMemory m_lastPath;
    selection::Pickers m_pickers;
    selection::DialogService& m_dialogs;
    UrlOpener& m_opener;
    WindowMessages m_messages;

public:
    SideBar* picLeft;
    WelcomePage* welcomePage;
    PickFilesPage* pickFilesPage;
    StoreFilesPage* storeFilesPage;
    EncryptionPage* encryptionPage;
    ScriptsPage* scriptsPage;
    ResultsPage* resultsPage;
    std::array<QWidget*, kPageCount> picFrame{};
    QLabel* lblNextReason; // why Next would not go on from here, when something stands in the way
    QFrame* picLine;
    QPushButton* cmdPrev;
    QPushButton* cmdNext;
    QPushButton* cmdExit;
    // Made after the buttons, so that the focus chain starts with them as it did before.
    QLabel* lblProject; // the project file and what its pages cannot show, read-only
    QAction* actOpenSettings;
    QAction* actSaveSettings;

private:
    void buildPages();
    QLayout* buildButtons();
    void connectControls();
    void startUp();
    bool Form_Unload();
    void askToStopAndQuit();
    /// Why Next (or Protect) would not go on from page p, or the empty string.
    QString nextReason(int p) const;
    void updateNextReason();
    void fitPage();
    void ProtectFiles();
    void beginRun();
    void endRun(const run::RunSummary& summary);
    void pageListed(const run::FileEntry& entry, const QString& outputPath);
    void pageFailed(const run::FileEntry& entry, const run::PageProblem& problem, bool skipped);
    void folderFailed(const QString& folder, const run::PageProblem& problem);
    void otherFailed(const QString& path, const run::PageProblem& problem);
    void runRefused(const run::RunRefusal& refusal);
    void pageTextFound(const QStringList& paths, bool copied);
    void openResult(const QString& path);
    void buildMenu();
    void offerFoundProject();
    void showProject();
    void saveChoices();
    bool startProjectRun();

    QStackedWidget* m_pages;
    BackgroundRun* m_run;
    int m_page = 0;
    int m_eggClicks = 0;
    bool m_running = false;
    bool m_restoring = false;               // the run going on puts originals back
    engine::ProtectionOptions m_runOptions; // the choices of the last protection run
    bool m_silentRun = false;               // the user asked for no further messages in this run
    ProjectSettings m_projectSettings;
    QSet<QString> m_offeredProjects; // found in picked folders and offered once
    std::unique_ptr<QSettings> m_memory;
    bool m_quitWhenStopped = false;  // the window closes once the stopped run has ended
    bool m_quitAnswered = false;     // the quit question needs no asking again
    QSettings* m_settings = nullptr; // where the window's size and place are kept
};

} // namespace quillora::ui
