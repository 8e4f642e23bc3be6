#include "LastPathMemory.h"

#include "engine/Paths.h"

#include <QFile>
#include <QFileInfo>

namespace quillora::selection {

LastPathMemory::LastPathMemory(const QString& programFolder)
    : m_filePath(programFolder + QChar(engine::kPathSeparator) + QStringLiteral("filepath.txt")) {}

QString LastPathMemory::ReadLastPath() const {
    QFile file(m_filePath);
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

void LastPathMemory::ResetLastPathFile() const {
    QFile file(m_filePath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
}

void LastPathMemory::WriteLastPath(const QString& path) const {
    QFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::ExistingOnly))
        return;
    file.write(QFile::encodeName(path));
}

void LastPathMemory::remember(const QString& path) const {
    ResetLastPathFile();
    WriteLastPath(path);
}

} // namespace quillora::selection
