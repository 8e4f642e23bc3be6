#pragma once

#include "selection/DialogService.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace quillora::testing {

/// Records every dialog and answers from queues, so that no test waits for a person.
class FakeDialogService : public selection::DialogService {
public:
    struct FolderRequest {
        QString prompt;
        QString initialFolder;
    };

    QMessageBox::StandardButton showMessage(const selection::MessageRequest& message) override {
        messages.append(message);
        if (onMessage)
            onMessage(message);
        if (message.checked != nullptr && !message.checkBox.isEmpty())
            *message.checked = checkBoxAnswers.isEmpty() ? false : checkBoxAnswers.dequeue();
        return answers.isEmpty() ? QMessageBox::Ok : answers.dequeue();
    }
    selection::FileDialogResult getFileName(const selection::FileDialogRequest& request) override {
        fileRequests.append(request);
        return fileResults.isEmpty() ? selection::FileDialogResult{} : fileResults.dequeue();
    }
    QString getExistingFolder(const QString& prompt, const QString& initialFolder, QWidget*) override {
        folderRequests.append({prompt, initialFolder});
        return folderResults.isEmpty() ? QString() : folderResults.dequeue();
    }
    void beep() override { ++beeps; }

    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& message : messages)
            texts << message.text;
        return texts;
    }

    QList<selection::MessageRequest> messages;
    std::function<void(const selection::MessageRequest&)> onMessage; // runs while the message is "shown"
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<bool> checkBoxAnswers; // how the check box under a message is left
    QList<selection::FileDialogRequest> fileRequests;
    QQueue<selection::FileDialogResult> fileResults;
    QList<FolderRequest> folderRequests;
    QQueue<QString> folderResults;
    int beeps = 0;
};

} // namespace quillora::testing
