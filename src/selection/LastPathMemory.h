#pragma once

#include <QString>

namespace quillora::selection {

/// The one folder remembered between uses, kept in "filepath.txt" in the program's folder, so that the pickers
/// open where the user last was. Never reports anything: every failure reads as "nothing remembered".
class LastPathMemory {
public:
    explicit LastPathMemory(const QString& programFolder);

    /// The remembered folder, or the empty string when none is remembered or it no longer exists.
    QString ReadLastPath() const;
    /// Creates the file anew and empty.
    void ResetLastPathFile() const;
    /// Writes the path into the file, which must exist already (ResetLastPathFile first).
    void WriteLastPath(const QString& path) const;

    /// Both of the writer's steps: forget, then remember the path.
    void remember(const QString& path) const;
    QString filePath() const { return m_filePath; }

private:
    QString m_filePath;
};

} // namespace quillora::selection
