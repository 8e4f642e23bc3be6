#pragma once

#include "disk/FileSystem.h"
#include "disk/PosixFileSystem.h"
#include "run/RunMessages.h"
#include "run/RunReporter.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::disk::test {

/// A fresh folder below the system's temporary folder, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    /// The folder's path, without a trailing separator.
    const std::string& path() const { return m_path; }
    /// The path of a name below the folder.
    std::string operator/(std::string_view relative) const { return m_path + "/" + std::string(relative); }

    /// Writes a file below the folder, making its folders.
    std::string write(std::string_view relative, std::string_view bytes) const;
    /// Every file name below the folder, relative and sorted (hidden ones included).
    std::vector<std::string> files() const;

private:
    std::string m_path;
};

/// A file a killed run left behind: written, then given the temporary name made for it (hint: the name of the file
/// it stood for). Returns its path.
std::string writeLeftover(const std::string& folder, std::string_view hint, std::string_view bytes);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, std::string_view bytes);
unsigned permissionsOf(const std::string& path);

/// The real file system with failures on command: any step can be made to fail with a chosen errno, as a failing
/// disk would: a read returns half of the file, a write puts half of its piece on disk, a vanishing folder is
/// removed from the disk just before it is listed.
class FaultyFileSystem : public FileSystem {
public:
    enum class Step {
        ReadFile, // fails after half of the file was read
        Status,
        ListFolder,
        FolderVanishes,
        CreateFolder,
        CreateTemp,
        Write,
        KeepAttributes,
        Finish,
        Rename,
        Remove,
        Copy,
        Canonical,
        OpenLocked, // fails before the page is opened
        Sync,
        Link,    // a backup made as a further name of the page's file
        Replace, // a checked placement (a page or a backup taking its name), after Rename's faults
    };

    /// Makes the nth matching call of step fail (every matching call when nth is 0). A call matches when its
    /// path contains pathPart; for writing, keeping attributes and closing it is the output the temporary file stands
    /// for. A checked placement counts as a Rename too.
    void failAt(Step step, int error, int nth = 0, std::string pathPart = {});
    /// Has another program act at the very moment of the nth matching call of step (before the call), as an editor
    /// saving a page (a new file renamed over it) does.
    void actAt(Step step, std::function<void()> action, int nth = 1, std::string pathPart = {});
    int callsOf(Step step) const;
    /// How often a failure struck.
    int strikes() const {
        const std::lock_guard lock(m_mutex);
        return m_strikes;
    }

    std::error_code openLocked(const std::string& path, std::chrono::milliseconds wait,
                               std::unique_ptr<LockedFile>& file) override;
    std::error_code readFile(const std::string& path, std::string& bytes) override;
    std::error_code status(const std::string& path, FileStatus& status) override;
    std::error_code listFolder(const std::string& path, std::vector<FolderEntry>& entries) override;
    std::error_code createFolder(const std::string& path) override;
    std::error_code createTempFile(const std::string& folder, std::string_view nameHint,
                                   std::optional<FileIdentity> partner, std::unique_ptr<OutputFile>& file,
                                   std::string& tempPath) override;
    std::error_code renameFile(const std::string& from, const std::string& to) override;
    std::error_code replaceChecked(const std::string& from, const FileIdentity& moving, const std::string& to,
                                   std::optional<FileIdentity> expected) override;
    std::error_code removeFile(const std::string& path) override;
    std::size_t removeStaleTemporaries(const std::string& folder) override;
    std::error_code copyFile(const std::string& from, const std::string& to) override;
    std::error_code syncFileSystems(const std::vector<std::string>& paths) override;
    std::error_code canonicalPath(const std::string& path, std::string& canonical) override;

    /// The error to fail a call with, or none. Safe to call from any thread: the run writes on a thread of its own.
    std::error_code fault(Step step, const std::string& path);

private:
    struct Rule {
        Step step;
        int error;
        int nth;
        std::string pathPart;
        int seen = 0;
        std::function<void()> action; // instead of an error
    };

    PosixFileSystem m_real;
    mutable std::mutex m_mutex; // guards the rules and the counts
    std::vector<Rule> m_rules;
    std::vector<int> m_calls = std::vector<int>(32, 0);
    int m_strikes = 0;
};

} // namespace quillora::disk::test
