#include "WindowMessages.h"

#include "selection/AppInfo.h"
#include "selection/DialogService.h"

#include <QDir>
#include <QWidget>

namespace quillora::ui {

namespace {

QMessageBox::Icon messageIcon(run::MessageIcon icon) {
    switch (icon) {
    case run::MessageIcon::Information:
        return QMessageBox::Information;
    case run::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case run::MessageIcon::Error:
        return QMessageBox::Critical;
    case run::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString applicationTitle() {
    return QString::fromLatin1(selection::kApplicationTitle);
}

} // namespace

WindowMessages::WindowMessages(selection::DialogService& dialogs, const QWidget& window)
    : m_dialogs(dialogs), m_window(window) {}

QString WindowMessages::caption() const {
    return m_window.windowTitle();
}

bool WindowMessages::ask(const QString& text) {
    const auto answer = m_dialogs.showMessage(
        {text, caption(), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, {}, nullptr, QMessageBox::No});
    return answer == QMessageBox::Yes;
}

bool WindowMessages::askToQuit() {
    const auto answer = m_dialogs.showMessage({QStringLiteral("Are you sure you wish to quit?"),
                                               caption(),
                                               QMessageBox::Information,
                                               QMessageBox::Yes | QMessageBox::No,
                                               {},
                                               nullptr,
                                               QMessageBox::No});
    return answer == QMessageBox::Yes;
}

bool WindowMessages::askToStopAndQuit() {
    return ask(QStringLiteral("The run has not finished. Stop it after the page in hand and quit?\n\nEvery page it has "
                              "not reached is left exactly as it is."));
}

bool WindowMessages::askToRestoreWritten(qsizetype count) {
    return ask(QStringLiteral("Put back the originals of the %1 pages written in this run?\n\nEach page is replaced by "
                              "its backup, and the backups are gone afterwards.")
                   .arg(count));
}

bool WindowMessages::askToRestoreFolder(const QString& folder) {
    return ask(
        QStringLiteral("Put back the originals of the protected pages in %1 and its subfolders?\n\nEach protected "
                       "page with its backup beside it is replaced by that backup, and the backups are gone "
                       "afterwards.")
            .arg(QDir::toNativeSeparators(folder)));
}

void WindowMessages::showRunMessage(const run::messages::Message& message, bool offerSilence) {
    const QString title = message.title == run::MessageTitle::MainCaption ? caption() : applicationTitle();
    QString shown = QString::fromStdString(message.text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    selection::MessageRequest request{shown, title, messageIcon(message.icon), QMessageBox::Ok};
    bool silence = false;
    if (offerSilence) {
        // A run that fails on many pages (a full disk, say) must not make the person close a box for each.
        request.checkBox = QStringLiteral("Don't show further messages in this run");
        request.checked = &silence;
    }
    m_dialogs.showMessage(request);
    m_silentRun = m_silentRun || silence;
}

void WindowMessages::showRunProblem(const run::messages::Message& message) {
    if (!m_silentRun)
        showRunMessage(message, true);
}

void WindowMessages::showOtherFileProblem(const QString& path, const run::PageProblem& problem) {
    run::messages::Message message = run::messages::pageProblem(problem);
    message.text = QStringLiteral("%1 could not be copied\n\n").arg(path).toStdString() + message.text;
    showRunProblem(message);
}

void WindowMessages::showNotAdded(const QStringList& paths) {
    QStringList shown;
    for (const QString& path : paths)
        shown << QDir::toNativeSeparators(path);
    m_dialogs.showMessage(
        {QStringLiteral("Not added, as neither a folder nor an .htm or .html page:\n") + shown.join(QLatin1Char('\n')),
         applicationTitle(), QMessageBox::Information, QMessageBox::Ok});
}

void WindowMessages::showUnableToOpen(const QString& path) {
    m_dialogs.showMessage({QStringLiteral("Unable to open %1\n\nIt may have been moved or deleted since, or no "
                                          "program is set to open it.")
                               .arg(QDir::toNativeSeparators(path)),
                           caption(), QMessageBox::Warning, QMessageBox::Ok});
}

void WindowMessages::showThanks() {
    m_dialogs.showMessage({QStringLiteral("Thanks for using Quillora!\nVisit us on the Web at ") +
                               QString::fromLatin1(selection::kWebAddress),
                           caption(), QMessageBox::Information, QMessageBox::Ok});
}

} // namespace quillora::ui
