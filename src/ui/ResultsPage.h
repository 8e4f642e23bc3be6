#pragma once

#include "run/FileEntry.h"
#include "run/RunReporter.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstddef>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillora::ui {

/// Page 5: the run's status, its progress, and the tree of written files (a node per folder, one per file); after
/// an overwrite run with backups, the way back to the originals.
class ResultsPage : public QWidget {
    Q_OBJECT

public:
    explicit ResultsPage(QWidget* parent = nullptr);

    /// Empties the results tree and gives it its placeholder root.
    void addPlaceholderRoot();
    /// Empties the results tree before a run and shows a busy progress bar.
    void beginRun();
    /// Lists one file written to outputPath under its folder's node and updates the count.
    void AddResultNode(const run::FileEntry& entry, const QString& outputPath);
    /// Marks the page listed last as protected in part, with what stayed as it stands as its tooltip.
    void markProtectedInPart(const run::FileEntry& entry, const QString& reason);
    /// Lists a page that was left as it was because it is protected already.
    void addAlreadyProtectedNode(const run::FileEntry& entry);
    /// Lists a page that could not be protected, with what went wrong.
    void addFailedNode(const run::FileEntry& failed, const QString& message, bool skipped);
    /// Lists a folder whose pages could not be read.
    void addFailedFolderNode(const QString& folder, const QString& message);
    /// Lists a page that a stopped run left as it was.
    void addNotReachedNode(const run::FileEntry& entry);
    void setProgress(std::size_t done, std::size_t found);
    /// The run is over: the status line closes with what was done and what was not, the bar shows whether every
    /// page was done, and the thanks show again.
    void endRun(const run::RunSummary& summary);
    /// A line under the results the user should read (where the originals are, what stays readable); a warning in
    /// the warning colour. Notes go with the next run.
    void addNote(const QString& text, bool warning);
    /// A stop was asked for: the run finishes the page in hand first.
    void stopping();
    /// True when the bar shows that pages were left undone.
    bool showsShortfall() const { return m_shortfall; }

    /// The output paths of the pages listed as written since the tree was last emptied, in the order listed.
    QStringList writtenPages() const;
    /// A restore of the written pages begins: the tree is emptied, Restore Originals hidden; the pages keep their
    /// place under their folders as they come back.
    void beginRestore();
    /// A restore of the pages below a folder begins: the tree is emptied.
    void beginFolderRestore();
    /// Lists a page whose original is back at path, under the folder it was listed in, and updates the count.
    void addRestoredNode(const run::FileEntry& entry, const QString& path);

    /// The path of the selected node: the written file for a file node, the folder for a folder node.
    QString selectedPath() const;
    /// The folder of the selected node: the written file's folder, or the folder a folder node names.
    QString selectedFolder() const;
    void treeResults_Click();
    /// A double click on a written file views it, as View Page does; folder nodes open and close as usual.
    void treeResults_DblClick(QTreeWidgetItem* node);

    QLabel* lblResults;
    QProgressBar* barProgress;
    QTreeWidget* treeResults;
    QPushButton* cmdViewPage;
    QPushButton* cmdOpenFolder;
    QPushButton* cmdRestore; // shown by the window after an overwrite run with backups
    QPushButton* cmdStop;    // shown while a run or a restore goes on
    QLabel* lblThanks;       // shown once a run has ended
    QLabel* lblRestartHint;
    QLabel* lblRunEnd; // the counts of an ended run: what was done and what was not
    QLabel* lblNotes;  // the run's notes, hidden while there are none

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct WrittenPage {
        run::FileEntry entry;
        QString path;
    };

    void clearResults();
    void showRunning(bool running);
    void showShortfall(const run::RunSummary& summary);
    /// The entry a page was listed with by the run before a restore (a restore names pages by their full path).
    run::FileEntry listedEntry(const run::FileEntry& entry) const;
    QTreeWidgetItem* folderNode(const QString& folder);
    QTreeWidgetItem* pageNode(const run::FileEntry& entry, const QString& text, int image, const QString& path);
    void scrollToLatest();

    QHash<QString, QTreeWidgetItem*> m_folderNodes;
    QTreeWidgetItem* m_latest = nullptr;
    int m_fileNodes = 0;
    QList<WrittenPage> m_written;
    QHash<QString, run::FileEntry> m_restoring; // the listed entries by output path, during and after a restore
    bool m_restoreRunning = false;
    bool m_shortfall = false;
    QTimer m_scrollTimer;
};

} // namespace quillora::ui
