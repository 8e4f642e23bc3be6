#include "DiskTestSupport.h"

#include "disk/TemporaryNames.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>

namespace quillora::disk::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillora-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    // Read-only folders left by a test would stop the removal.
    for (auto it = fs::recursive_directory_iterator(m_path, error); !error && it != fs::end(it); it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, error);
    fs::remove_all(m_path, error);
}

std::string TempFolder::write(std::string_view relative, std::string_view bytes) const {
    const std::string path = *this / relative;
    fs::create_directories(fs::path(path).parent_path());
    writeBytes(path, bytes);
    return path;
}

std::vector<std::string> TempFolder::files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(m_path)) {
        if (!entry.is_directory())
            names.push_back(entry.path().lexically_relative(m_path).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string writeLeftover(const std::string& folder, std::string_view hint, std::string_view bytes) {
    const std::string written = folder + "/written-" + std::string(hint);
    writeBytes(written, bytes);
    struct stat st {};
    if (::stat(written.c_str(), &st) != 0)
        throw std::runtime_error("cannot make a leftover");
    const std::string leftover = folder + "/" + TemporaryName(hint, st.st_ino, st.st_ino);
    fs::rename(written, leftover);
    return leftover;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

unsigned permissionsOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

namespace {

using Step = FaultyFileSystem::Step;

class FaultyOutputFile : public OutputFile {
public:
    FaultyOutputFile(std::unique_ptr<OutputFile> real, FaultyFileSystem& owner, std::string path)
        : m_real(std::move(real)), m_owner(owner), m_path(std::move(path)) {}

    std::error_code write(std::string_view bytes) override {
        if (auto error = m_owner.fault(Step::Write, m_path)) {
            (void)m_real->write(bytes.substr(0, bytes.size() / 2));
            return error;
        }
        return m_real->write(bytes);
    }
    std::error_code keepAttributes(const FileStatus& original) override {
        if (auto error = m_owner.fault(Step::KeepAttributes, m_path))
            return error;
        return m_real->keepAttributes(original);
    }
    std::error_code keepTimes(const FileStatus& original) override { return m_real->keepTimes(original); }
    std::error_code finish(bool sync) override {
        const auto error = m_owner.fault(Step::Finish, m_path);
        const auto real = m_real->finish(sync);
        return error ? error : real;
    }
    FileIdentity identity() const override { return m_real->identity(); }

private:
    std::unique_ptr<OutputFile> m_real;
    FaultyFileSystem& m_owner;
    std::string m_path;
};

class FaultyLockedFile : public LockedFile {
public:
    FaultyLockedFile(std::unique_ptr<LockedFile> real, FaultyFileSystem& owner, std::string path)
        : m_real(std::move(real)), m_owner(owner), m_path(std::move(path)) {}

    std::error_code read(std::string& bytes) override {
        const auto error = m_owner.fault(Step::ReadFile, m_path);
        const auto real = m_real->read(bytes);
        if (error) {
            bytes.resize(bytes.size() / 2);
            return error;
        }
        return real;
    }
    const FileStatus& status() const override { return m_real->status(); }
    std::error_code linkTemporary(const std::string& folder, std::string_view nameHint,
                                  std::optional<FileIdentity> partner, std::string& tempPath) override {
        const std::string target = (std::filesystem::path(folder) / nameHint).lexically_normal().string();
        if (auto error = m_owner.fault(Step::Link, target))
            return error;
        return m_real->linkTemporary(folder, nameHint, partner, tempPath);
    }

private:
    std::unique_ptr<LockedFile> m_real;
    FaultyFileSystem& m_owner;
    std::string m_path;
};

} // namespace

void FaultyFileSystem::failAt(Step step, int error, int nth, std::string pathPart) {
    const std::lock_guard lock(m_mutex);
    m_rules.push_back({step, error, nth, std::move(pathPart), 0, {}});
}

void FaultyFileSystem::actAt(Step step, std::function<void()> action, int nth, std::string pathPart) {
    const std::lock_guard lock(m_mutex);
    m_rules.push_back({step, 0, nth, std::move(pathPart), 0, std::move(action)});
}

int FaultyFileSystem::callsOf(Step step) const {
    const std::lock_guard lock(m_mutex);
    return m_calls[static_cast<std::size_t>(step)];
}

std::error_code FaultyFileSystem::fault(Step step, const std::string& path) {
    std::function<void()> action;
    {
        const std::lock_guard lock(m_mutex);
        ++m_calls[static_cast<std::size_t>(step)];
        for (auto& rule : m_rules) {
            if (rule.step != step || path.find(rule.pathPart) == std::string::npos)
                continue;
            ++rule.seen;
            if (rule.nth != 0 && rule.nth != rule.seen)
                continue;
            ++m_strikes;
            if (!rule.action)
                return {rule.error, std::generic_category()};
            action = rule.action;
            break;
        }
    }
    if (action)
        action(); // outside the lock: the action may use this file system
    return {};
}

std::error_code FaultyFileSystem::openLocked(const std::string& path, std::chrono::milliseconds wait,
                                             std::unique_ptr<LockedFile>& file) {
    if (auto error = fault(Step::OpenLocked, path))
        return error;
    std::unique_ptr<LockedFile> real;
    if (auto error = m_real.openLocked(path, wait, real))
        return error;
    file = std::make_unique<FaultyLockedFile>(std::move(real), *this, path);
    return {};
}

std::error_code FaultyFileSystem::readFile(const std::string& path, std::string& bytes) {
    const auto error = fault(Step::ReadFile, path);
    const auto real = m_real.readFile(path, bytes);
    if (error) {
        bytes.resize(bytes.size() / 2);
        return error;
    }
    return real;
}

std::error_code FaultyFileSystem::status(const std::string& path, FileStatus& status) {
    if (auto error = fault(Step::Status, path))
        return error;
    return m_real.status(path, status);
}

std::error_code FaultyFileSystem::listFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    if (fault(Step::FolderVanishes, path)) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    if (auto error = fault(Step::ListFolder, path)) {
        entries.clear();
        return error;
    }
    return m_real.listFolder(path, entries);
}

std::error_code FaultyFileSystem::createFolder(const std::string& path) {
    if (auto error = fault(Step::CreateFolder, path))
        return error;
    return m_real.createFolder(path);
}

std::error_code FaultyFileSystem::createTempFile(const std::string& folder, std::string_view nameHint,
                                                 std::optional<FileIdentity> partner, std::unique_ptr<OutputFile>& file,
                                                 std::string& tempPath) {
    const std::string target = (std::filesystem::path(folder) / nameHint).lexically_normal().string();
    if (auto error = fault(Step::CreateTemp, target))
        return error;
    std::unique_ptr<OutputFile> real;
    if (auto error = m_real.createTempFile(folder, nameHint, partner, real, tempPath))
        return error;
    file = std::make_unique<FaultyOutputFile>(std::move(real), *this, target);
    return {};
}

std::error_code FaultyFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (auto error = fault(Step::Rename, to))
        return error;
    return m_real.renameFile(from, to);
}

std::error_code FaultyFileSystem::replaceChecked(const std::string& from, const FileIdentity& moving,
                                                 const std::string& to, std::optional<FileIdentity> expected) {
    if (auto error = fault(Step::Rename, to))
        return error;
    if (auto error = fault(Step::Replace, to))
        return error;
    return m_real.replaceChecked(from, moving, to, expected);
}

std::error_code FaultyFileSystem::removeFile(const std::string& path) {
    if (auto error = fault(Step::Remove, path))
        return error;
    return m_real.removeFile(path);
}

std::error_code FaultyFileSystem::copyFile(const std::string& from, const std::string& to) {
    if (auto error = fault(Step::Copy, to))
        return error;
    return m_real.copyFile(from, to);
}

std::size_t FaultyFileSystem::removeStaleTemporaries(const std::string& folder) {
    return m_real.removeStaleTemporaries(folder);
}

std::error_code FaultyFileSystem::syncFileSystems(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (auto error = fault(Step::Sync, path))
            return error;
    }
    return m_real.syncFileSystems(paths);
}

std::error_code FaultyFileSystem::canonicalPath(const std::string& path, std::string& canonical) {
    if (auto error = fault(Step::Canonical, path))
        return error;
    return m_real.canonicalPath(path, canonical);
}

} // namespace quillora::disk::test
