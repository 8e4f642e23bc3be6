#pragma once

#include <QString>
#include <functional>

namespace quillora::selection {

/// The one folder remembered between uses, kept in "filepath.txt" so that the pickers open where the user last
/// was: in the program's folder where that folder can be written, else in the user's configuration folder (an
/// installed program's folder belongs to the system). Never reports anything: every failure reads as "nothing
/// remembered".
class LastPathMemory {
public:
    /// Tells whether the memory may be written into a folder.
    using WritableCheck = std::function<bool(const QString& folder)>;

    /// The configuration folder is the application's (QStandardPaths::AppConfigLocation).
    explicit LastPathMemory(const QString& programFolder);
    LastPathMemory(const QString& programFolder, const QString& configFolder, const WritableCheck& canWrite);

    /// The remembered folder, or the empty string when none is remembered or it no longer exists.
    QString ReadLastPath() const;
    /// Creates the file anew and empty.
    void ResetLastPathFile() const;
    /// Writes the path into the file, which must exist already (ResetLastPathFile first).
    void WriteLastPath(const QString& path) const;

    /// Both of the writer's steps in one: the file is replaced by one holding the path.
    void remember(const QString& path) const;
    /// Where the memory is written.
    QString filePath() const { return m_filePath; }

    /// True when a file can be made in the folder and the folder is not the system's (below /usr).
    static bool canWriteFolder(const QString& folder);

private:
    /// The written file when it exists, else the other place's (a file left there earlier, or shipped).
    QString readablePath() const;
    void replaceFile(const QByteArray& content) const;

    QString m_filePath;
    QString m_otherPath;
    bool m_inConfigFolder = false;
};

} // namespace quillora::selection
