#pragma once

#include "engine/ProtectionOptions.h"
#include "run/SelectionEntry.h"

#include <QWidget>
#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillora::selection {
class DialogService;
class LastPathMemory;
class Pickers;
} // namespace quillora::selection

namespace quillora::ui {

/// Page 2: where the protected files go (overwrite, copy to a folder with or without the site's other files, or new
/// protected files) and the notice.
class StoreFilesPage : public QWidget {
    Q_OBJECT

public:
    StoreFilesPage(selection::DialogService& dialogs, selection::Pickers& pickers,
                   const selection::LastPathMemory& lastPath, QWidget* parent = nullptr);

    /// Writes the storage and notice choices into options.
    void fill(engine::ProtectionOptions& options) const;
    /// Shows the help text of the chosen storage mode, which Restart keeps.
    void resetOutputInfo();
    /// The picks the copy target is checked against (the mark follows; problemChanged is not emitted).
    void setPicks(std::vector<run::SelectionEntry> picks);
    /// Why a run would stop at this page's choices (the mark's text), or the empty string.
    QString problem() const;
    /// The same in a few words, for beside Next.
    QString nextReason() const;

    void optSave_Click(int index);
    void chkCopyrightNotice_Click();
    void cmdSelectDirectory_Click();
    void cmdSelectBackupDir_Click();
    /// The pages are to be encrypted (chosen on the next page): an overwrite run then offers a folder for the
    /// originals, which must not stay in what is published.
    void setEncrypting(bool encrypting);

    std::array<QRadioButton*, 3> optSave{};
    QCheckBox* chkBackups;
    QLineEdit* txtSaveDir;
    QPushButton* cmdSelectDirectory;
    QLabel* lblSaveDirProblem; // marks a copy target the run could not use, as it is typed or picked
    QCheckBox* chkCopyOthers;  // copy mode: the site's images, style sheets and scripts go along
    QCheckBox* chkCopyrightNotice;
    QLabel* lblWarning3; // shown above the notice box when it refuses a text
    QLineEdit* txtCopyrightNotice;
    QLabel* lblOutputInfo;
    QWidget* framBackupDir; // shown for an encrypted overwrite run
    QLabel* lblBackupDir;
    QLineEdit* txtBackupDir; // empty: FOLDER.originals beside each picked folder
    QPushButton* cmdSelectBackupDir;

Q_SIGNALS:
    /// What problem() tells may have changed.
    void problemChanged();

private:
    void showBackupDir();
    void updateTargetMark();
    void showTargetMark();
    QWidget* storageGroup();
    QWidget* noticeGroup();
    QWidget* informationFrame();

    selection::Pickers& m_pickers;
    const selection::LastPathMemory& m_lastPath;
    bool m_encrypting = false;
    std::vector<run::SelectionEntry> m_picks;
};

} // namespace quillora::ui
