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
    /// Lists a page that was left as it was because it is protected already.
    void addAlreadyProtectedNode(const run::FileEntry& entry);
    /// Lists a page that could not be protected, with what went wrong.
    void addFailedNode(const run::FileEntry& failed, const QString& message, bool skipped);
    /// Lists a folder whose pages could not be read.
    void addFailedFolderNode(const QString& folder, const QString& message);
    void setProgress(std::size_t done, std::size_t found);
    /// The run is over: what it did beyond the pages (the site's other files copied) joins the status.
    void endRun(const run::RunSummary& summary);
    /// A line under the results the user should read (where the originals are, what stays readable); a warning in
    /// the warning colour. Notes go with the next run.
    void addNote(const QString& text, bool warning);

    /// The output paths of the pages listed as written since the tree was last emptied, in the order listed.
    QStringList writtenPages() const;
    /// A restore of the written pages begins: the tree is emptied, Restore Originals hidden; the pages keep their
    /// place under their folders as they come back.
    void beginRestore();
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
    QLabel* lblNotes;        // the run's notes, hidden while there are none

private:
    struct WrittenPage {
        run::FileEntry entry;
        QString path;
    };

    void clearResults();
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
    QTimer m_scrollTimer;
};

} // namespace quillora::ui
