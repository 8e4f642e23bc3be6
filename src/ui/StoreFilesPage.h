#pragma once

#include "engine/ProtectionOptions.h"

#include <QWidget>
#include <array>

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
    QCheckBox* chkCopyOthers; // copy mode: the site's images, style sheets and scripts go along
    QCheckBox* chkCopyrightNotice;
    QLabel* lblWarning3; // shown above the notice box when it refuses a text
    QLineEdit* txtCopyrightNotice;
    QLabel* lblOutputInfo;
    QWidget* framBackupDir; // shown for an encrypted overwrite run
    QLabel* lblBackupDir;
    QLineEdit* txtBackupDir; // empty: FOLDER.originals beside each picked folder
    QPushButton* cmdSelectBackupDir;

private:
    void showBackupDir();
    QWidget* storageGroup();
    QWidget* noticeGroup();
    QWidget* informationFrame();

    selection::Pickers& m_pickers;
    const selection::LastPathMemory& m_lastPath;
    bool m_encrypting = false;
};

} // namespace quillora::ui
