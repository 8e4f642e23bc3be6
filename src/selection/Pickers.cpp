#include "Pickers.h"

#include "AppInfo.h"
#include "NativePath.h"
#include "disk/Paths.h"

#include <QRegularExpression>

namespace quillora::selection {

namespace {

constexpr int kModeCount = 4;

QString withoutFolder(const QString& fileName) {
    return fileName.mid(fileName.lastIndexOf(QChar(disk::kPathSeparator)) + 1);
}

QString folderPart(const QString& path) {
    return fromNativePath(disk::getFilePathOnly(toNativePath(path)));
}

QString qtFilter(QString description, const QString& patterns) {
    // The description usually repeats the patterns in parentheses; Qt reads the patterns from there.
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    description.remove(trailingPatterns);
    QStringList parts = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& part : parts)
        part = part.trimmed();
    return description + QStringLiteral(" (") + parts.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace

Pickers::Pickers(DialogService& dialogs, const LastPathMemory& lastPath) : m_dialogs(dialogs), m_lastPath(lastPath) {}

QStringList Pickers::toQtFilters(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << qtFilter(parts[i], parts[i + 1]);
    return filters;
}

QString Pickers::ShowFileDialog(QWidget* owner, const QString& filter, const QString& defaultExtension, int mode,
                                const QString& title, const QString& defaultFileName,
                                [[maybe_unused]] const QString& initialDirectory, int filterIndex) {
    if (mode < 0 || mode >= kModeCount)
        return {};
    FileDialogRequest asked = request(static_cast<FileDialogRequest::Kind>(mode), owner, filter, title, filterIndex);
    asked.fileName = withoutFolder(defaultFileName);
    asked.defaultSuffix = defaultExtension;
    return ask(asked).path;
}

QStringList Pickers::ShowOpenFilesDialog(QWidget* owner, const QString& filter, const QString& title) {
    FileDialogRequest asked = request(FileDialogRequest::Kind::Open, owner, filter, title, 0);
    asked.several = true;
    const FileDialogResult result = ask(asked);
    if (!result.paths.isEmpty())
        return result.paths;
    return result.path.isEmpty() ? QStringList() : QStringList{result.path};
}

FileDialogRequest Pickers::request(FileDialogRequest::Kind kind, QWidget* owner, const QString& filter,
                                   const QString& title, int filterIndex) const {
    FileDialogRequest request;
    request.kind = kind;
    request.owner = owner;
    request.title = title;
    request.initialFolder = m_lastPath.ReadLastPath();
    request.filters = toQtFilters(filter);
    if (!request.filters.isEmpty())
        request.selectedFilter = request.filters.value(filterIndex - 1, request.filters.constFirst());
    return request;
}

FileDialogResult Pickers::ask(const FileDialogRequest& request) {
    FileDialogResult result = m_dialogs.getFileName(request);
    if (result.path.isEmpty() && result.errorCode != 0)
        reportFailure(result.errorCode);
    m_lastPath.remember(folderPart(result.path));
    return result;
}

QString Pickers::BrowseForFolder(const QString& prompt, const QString& initialFolder, QWidget* owner) {
    return m_dialogs.getExistingFolder(prompt, initialFolder, owner);
}

void Pickers::reportFailure(int errorCode) {
    m_dialogs.showMessage(
        {QStringLiteral("Unable to get filename(s).\n\nCommDlgExtendedError returned %1").arg(errorCode),
         QString::fromLatin1(kApplicationTitle), QMessageBox::Critical, QMessageBox::Ok});
}

} // namespace quillora::selection
