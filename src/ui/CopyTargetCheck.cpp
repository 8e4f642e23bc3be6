#include "CopyTargetCheck.h"

#include "run/RunMessages.h"
#include "selection/NativePath.h"

#include <QDir>
#include <QFileInfo>

namespace quillora::ui {

namespace {

/// The path itself when it exists, else the nearest folder above it that does (or the empty string).
QString nearestExisting(const QString& path) {
    QString at = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(at)) {
        const QString up = QFileInfo(at).path();
        if (up == at)
            return {};
        at = up;
    }
    return at;
}

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

QString copyTargetProblem(const QString& target, const std::vector<run::SelectionEntry>& picks) {
    // Short, to stand on one line under the box that names the folder.
    if (target.trimmed().isEmpty())
        return QString::fromUtf8(run::messages::kChooseTargetFolder);
    const QString existing = nearestExisting(target);
    if (!existing.isEmpty() && !QFileInfo(existing).isDir())
        return existing == QDir::cleanPath(QFileInfo(target).absoluteFilePath())
                   ? QStringLiteral("This is a file, not a folder")
                   : QStringLiteral("%1 is a file, not a folder").arg(QFileInfo(existing).fileName());
    const QString real = canonical(target);
    if (real.isEmpty())
        return {}; // a new folder: it holds nothing that could be picked
    for (const run::SelectionEntry& pick : picks) {
        const QString picked = selection::fromNativePath(pick.path);
        if (pick.isFolder && canonical(picked) == real)
            return QStringLiteral("This folder is picked to be protected");
        const QFileInfo page(picked);
        if (!pick.isFolder && canonical(page.path()) == real)
            return QStringLiteral("The copy of %1 would replace the picked page").arg(page.fileName());
    }
    return {};
}

QString copyTargetStart(const QString& target, const std::vector<run::SelectionEntry>& picks, const QString& fallback) {
    if (!target.trimmed().isEmpty()) {
        QString existing = nearestExisting(target);
        if (QFileInfo(existing).isDir())
            return existing;
    }
    if (picks.empty())
        return fallback;
    const QFileInfo first(QDir::cleanPath(selection::fromNativePath(picks.front().path)));
    // A picked page's folder would take its copy over it: one more step up.
    return picks.front().isFolder ? first.path() : QFileInfo(first.path()).path();
}

} // namespace quillora::ui
