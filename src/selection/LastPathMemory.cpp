#include "LastPathMemory.h"

#include "disk/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace quillora::selection {

namespace {

const QString kFileName = QStringLiteral("filepath.txt");

QString fileIn(const QString& folder) {
    // The separator is always added: a program in the root gets a doubled one.
    return folder + QChar(disk::kPathSeparator) + kFileName;
}

} // namespace

LastPathMemory::LastPathMemory(const QString& programFolder)
    : LastPathMemory(programFolder, QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                     &LastPathMemory::canWriteFolder) {}

LastPathMemory::LastPathMemory(const QString& programFolder, const QString& configFolder,
                               const WritableCheck& canWrite) {
    const bool besideProgram = configFolder.isEmpty() || canWrite(programFolder);
    m_inConfigFolder = !besideProgram;
    m_filePath = fileIn(besideProgram ? programFolder : configFolder);
    m_otherPath = configFolder.isEmpty() ? QString() : fileIn(besideProgram ? configFolder : programFolder);
}

bool LastPathMemory::canWriteFolder(const QString& folder) {
    // What lies below /usr is the package manager's, even for root, who could write there.
    const QString clean = QDir::cleanPath(folder);
    if (clean == QLatin1String("/usr") || clean.startsWith(QLatin1String("/usr/")))
        return false;
    // Permission bits do not tell (root passes them all, a read-only mount fails every one): try it.
    QTemporaryFile probe(folder + QStringLiteral("/.filepath-XXXXXX"));
    return probe.open();
}

QString LastPathMemory::readablePath() const {
    return QFileInfo::exists(m_filePath) || m_otherPath.isEmpty() ? m_filePath : m_otherPath;
}

QString LastPathMemory::ReadLastPath() const {
    QFile file(readablePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray content = file.readAll();
    const auto lineEnd = content.indexOf('\n');
    content.truncate(lineEnd < 0 ? content.size() : lineEnd);
    if (content.endsWith('\r'))
        content.chop(1);
    const QString path = QFile::decodeName(content);
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

void LastPathMemory::replaceFile(const QByteArray& content) const {
    // The configuration folder may not exist yet.
    if (m_inConfigFolder)
        QDir().mkpath(QFileInfo(m_filePath).path());
    // Written beside the old file and renamed over it, so that a reader never meets half a path.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(content);
    file.commit();
}

void LastPathMemory::ResetLastPathFile() const {
    replaceFile({});
}

void LastPathMemory::WriteLastPath(const QString& path) const {
    if (QFileInfo::exists(m_filePath))
        replaceFile(QFile::encodeName(path));
}

void LastPathMemory::remember(const QString& path) const {
    replaceFile(QFile::encodeName(path));
}

} // namespace quillora::selection
