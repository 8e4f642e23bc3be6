#pragma once

#include <QStringList>
#include <QWidget>

class QPushButton;

namespace quillora::selection {
class DialogService;
class LastPathMemory;
class Pickers;
class SelectionTree;
} // namespace quillora::selection

namespace quillora::ui {

/// Page 1: the selection tree with Add File, Add Folder and Remove; files and folders may also be dropped on it.
/// Restore originals in a folder puts back the originals of protected pages below any folder.
class PickFilesPage : public QWidget {
    Q_OBJECT

public:
    PickFilesPage(selection::DialogService& dialogs, selection::Pickers& pickers,
                  const selection::LastPathMemory& lastPath, QWidget* parent = nullptr);

    /// Empties the selection tree (without its root) and withdraws Remove.
    void clearSelection();

    void cmdAddFile_Click();
    void cmdAddFolder_Click();
    void cmdRemoveFolder_Click();
    void treeFolders_Click();
    /// Asks for a folder and hands it on to have the originals below it restored.
    void cmdRestoreFolder_Click();
    /// Adds dropped paths as the two add buttons would: folders, and files ending in .htm or .html.
    void addDroppedPaths(const QStringList& paths);
    /// The same; returns the paths that were neither (missing, or not pages), which were not added.
    QStringList addPaths(const QStringList& paths);
    /// Why the wizard would not go on from this page, or the empty string.
    QString problem() const;

    selection::SelectionTree* treeFolders;
    QPushButton* cmdAddFile;
    QPushButton* cmdAddFolder;
    QPushButton* cmdRemoveFolder;
    QPushButton* cmdRestoreFolder;

Q_SIGNALS:
    /// The entries may have changed: the window applies its rule for the Next button.
    void CheckEnableDisableNextButton();
    /// The originals of the protected pages below folder are to be put back.
    void restoreFolderRequested(const QString& folder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addFolder(const QString& folder);
    void refuseNonPage(const QString& file);

    selection::DialogService& m_dialogs;
    selection::Pickers& m_pickers;
    const selection::LastPathMemory& m_lastPath;
};

} // namespace quillora::ui
