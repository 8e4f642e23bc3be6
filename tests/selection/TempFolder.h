#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace quillora::testing {

/// A temporary folder that removes itself, with helpers to lay out files and folders below it.
class TempFolder {
public:
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    QString makeFolder(const QString& relative) const {
        QDir().mkpath(filePath(relative));
        return filePath(relative);
    }
    QString writeFile(const QString& relative, const QByteArray& bytes) const {
        const QString path = filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
};

} // namespace quillora::testing
