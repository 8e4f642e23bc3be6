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
    /// Adds dropped paths as the two add buttons would: folders, and files ending in .htm or .html.
    void addDroppedPaths(const QStringList& paths);

    selection::SelectionTree* treeFolders;
    QPushButton* cmdAddFile;
    QPushButton* cmdAddFolder;
    QPushButton* cmdRemoveFolder;

Q_SIGNALS:
    /// The entries may have changed: the window applies its rule for the Next button.
    void CheckEnableDisableNextButton();

private:
    void addFolder(const QString& folder);
    void refuseNonPage(const QString& file);

    selection::DialogService& m_dialogs;
    selection::Pickers& m_pickers;
    const selection::LastPathMemory& m_lastPath;
};

} // namespace quillora::ui
