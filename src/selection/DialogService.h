#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace quillora::selection {

/// One message box: every part of it, so that a recording service can tell messages apart.
struct MessageRequest {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QString checkBox = {};   // a check box under the text, when not empty
    bool* checked = nullptr; // receives the check box's state when the box closes
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; // Enter's answer; none: the box's own choice
};

/// What the file dialog is asked for.
struct FileDialogRequest {
    enum class Kind { Open, OpenOrCreate, Save, SaveWithOverwritePrompt };
    Kind kind = Kind::Open;
    QWidget* owner = nullptr;
    QString title;
    QString initialFolder;
    QString fileName;       // preset name, without folder
    QStringList filters;    // Qt's form: "Description (*.a *.b)"
    QString selectedFilter; // one of filters, or empty
    QString defaultSuffix;  // without dot
    bool several = false;   // Open only: any number of existing files may be chosen at once
};

/// What came back from the file dialog: a path, or nothing and an error code (0 for a plain Cancel).
struct FileDialogResult {
    QString path; // the first file chosen
    int errorCode = 0;
    QStringList paths = {}; // every file chosen, when several were allowed
};

/// Every dialog the program shows. The application fills it with Qt's dialogs; the tests replace it with a
/// recorder so that no test waits for a person.
class DialogService {
public:
    virtual ~DialogService() = default;

    /// Shows a modal message box and returns the button that closed it.
    virtual QMessageBox::StandardButton showMessage(const MessageRequest& message) = 0;
    /// Asks for one file; an empty path means nothing was chosen.
    virtual FileDialogResult getFileName(const FileDialogRequest& request) = 0;
    /// Asks for one folder; the empty string means nothing was chosen.
    virtual QString getExistingFolder(const QString& prompt, const QString& initialFolder, QWidget* owner) = 0;
    /// Sounds the system bell.
    virtual void beep() = 0;
};

} // namespace quillora::selection
