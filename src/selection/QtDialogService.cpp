#include "QtDialogService.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>

namespace quillora::selection {

namespace {

QFileDialog::AcceptMode acceptMode(FileDialogRequest::Kind kind) {
    using Kind = FileDialogRequest::Kind;
    return kind == Kind::Open || kind == Kind::OpenOrCreate ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave;
}

} // namespace

QMessageBox::StandardButton QtDialogService::showMessage(const MessageRequest& message) {
    QMessageBox box(message.icon, message.title, message.text, message.buttons, QApplication::activeWindow());
    if (!message.checkBox.isEmpty())
        box.setCheckBox(new QCheckBox(message.checkBox, &box));
    if (message.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(message.defaultButton);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    if (message.checked != nullptr && box.checkBox() != nullptr)
        *message.checked = box.checkBox()->isChecked();
    return answer;
}

FileDialogResult QtDialogService::getFileName(const FileDialogRequest& request) {
    using Kind = FileDialogRequest::Kind;
    QFileDialog dialog(request.owner, request.title, request.initialFolder);
    dialog.setAcceptMode(acceptMode(request.kind));
    if (request.kind == Kind::Open)
        dialog.setFileMode(request.several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, request.kind != Kind::SaveWithOverwritePrompt);
    dialog.setNameFilters(request.filters);
    if (!request.selectedFilter.isEmpty())
        dialog.selectNameFilter(request.selectedFilter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return {chosen.constFirst(), 0, request.several ? chosen : QStringList()};
}

QString QtDialogService::getExistingFolder(const QString& prompt, const QString& initialFolder, QWidget* owner) {
    return QFileDialog::getExistingDirectory(owner, prompt, initialFolder);
}

void QtDialogService::beep() {
    QApplication::beep();
}

} // namespace quillora::selection
