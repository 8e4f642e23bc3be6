#pragma once

#include "DialogService.h"

namespace quillora::selection {

/// The dialogs of the running program: QMessageBox, QFileDialog and the application's bell.
class QtDialogService : public DialogService {
public:
    QMessageBox::StandardButton showMessage(const MessageRequest& message) override;
    FileDialogResult getFileName(const FileDialogRequest& request) override;
    QString getExistingFolder(const QString& prompt, const QString& initialFolder, QWidget* owner) override;
    void beep() override;
};

} // namespace quillora::selection
