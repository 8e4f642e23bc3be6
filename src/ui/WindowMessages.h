#pragma once

#include "run/RunMessages.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// The window's message boxes and questions, worded in one place and shown through the dialog service. Questions
/// that end or undo something have No as their answer to Enter.
class WindowMessages {
public:
    WindowMessages(selection::DialogService& dialogs, const QWidget& window);

    /// "Are you sure you wish to quit?"
    bool askToQuit();
    /// Whether to stop the run going on and quit once it has stopped.
    bool askToStopAndQuit();
    /// Whether to put back the originals of the count pages written by the last run.
    bool askToRestoreWritten(qsizetype count);
    /// Whether to put back the originals of the protected pages below folder.
    bool askToRestoreFolder(const QString& folder);

    /// A new run begins: its problems are shown again.
    void beginRun() { m_silentRun = false; }
    /// One of the run's messages; with offerSilence, the person may ask for no more in this run.
    void showRunMessage(const run::messages::Message& message, bool offerSilence);
    /// A problem met by the run, unless the person asked for no more messages in this run.
    void showRunProblem(const run::messages::Message& message);
    /// Another file of the site that could not be copied (the results list names pages only).
    void showOtherFileProblem(const QString& path, const run::PageProblem& problem);

    /// Paths given on the command line that were not added.
    void showNotAdded(const QStringList& paths);
    /// A result that could not be opened.
    void showUnableToOpen(const QString& path);
    /// The thanks shown by the welcome image.
    void showThanks();

private:
    bool ask(const QString& text);
    QString caption() const;

    selection::DialogService& m_dialogs;
    const QWidget& m_window;
    bool m_silentRun = false; // the person asked for no further messages in this run
};

} // namespace quillora::ui
