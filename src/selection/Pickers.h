#pragma once

#include "DialogService.h"
#include "LastPathMemory.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace quillora::selection {

/// The file and folder pickers: thin wrappers that hand back one path, or the empty string when nothing was
/// chosen. The file picker opens in the remembered folder and remembers the folder of its result.
class Pickers {
public:
    Pickers(DialogService& dialogs, const LastPathMemory& lastPath);

    /// Mode 0 opens an existing file, 1 opens a file that may be new, 2 saves, 3 saves after an overwrite
    /// question. The filter is "description|patterns|..." with patterns separated by ";". filterIndex counts
    /// from 1; 0 selects the first filter. initialDirectory is accepted for the callers' sake: the remembered
    /// folder always takes its place.
    QString ShowFileDialog(QWidget* owner, const QString& filter, const QString& defaultExtension, int mode,
                           const QString& title, const QString& defaultFileName, const QString& initialDirectory,
                           int filterIndex);

    /// As ShowFileDialog in mode 0, but any number of existing files may be chosen at once; returns them all (none
    /// when cancelled) and remembers the folder of the first.
    QStringList ShowOpenFilesDialog(QWidget* owner, const QString& filter, const QString& title);

    /// Asks for a folder, starting at initialFolder; returns it without a trailing separator (but for the root).
    QString BrowseForFolder(const QString& prompt, const QString& initialFolder, QWidget* owner);

    /// "HTML Files (*.html;*.htm)|*.html;*.htm" in Qt's form: {"HTML Files (*.html *.htm)"}.
    static QStringList toQtFilters(const QString& pipeFilter);

private:
    FileDialogRequest request(FileDialogRequest::Kind kind, QWidget* owner, const QString& filter, const QString& title,
                              int filterIndex) const;
    /// Asks, reports a failure, and remembers the folder of the first file chosen.
    FileDialogResult ask(const FileDialogRequest& request);
    void reportFailure(int errorCode);

    DialogService& m_dialogs;
    const LastPathMemory& m_lastPath;
};

} // namespace quillora::selection
