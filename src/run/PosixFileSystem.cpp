#include "PosixFileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillora::run {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kMaxHintLength = 200; // leaves room for the temporary name's decoration below NAME_MAX
constexpr int kTempNameAttempts = 100;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

/// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool isWritable(const std::string& path, const struct stat& st) {
    if ((st.st_mode & 0222) == 0)
        return false; // read-only for everyone; root is refused too, as the kernel would not refuse it
    static const uid_t me = ::geteuid();
    if (me == 0)
        return true;
    if (st.st_uid == me)
        return (st.st_mode & S_IWUSR) != 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::error_code writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(int fd, FileIdentity identity) : m_fd(fd), m_identity(identity) {}
    ~PosixOutputFile() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    std::error_code write(std::string_view bytes) override { return writeAll(m_fd, bytes); }

    std::error_code keepAttributes(const FileStatus& original) override {
        // Best effort on the owner: only root may give a file away, and a failure must not lose the page.
        if (::fchown(m_fd, original.owner, original.group) != 0)
            (void)::fchown(m_fd, static_cast<uid_t>(-1), original.group);
        if (::fchmod(m_fd, original.mode & 07777) != 0)
            return lastError();
        return {};
    }

    std::error_code close(bool sync) override {
        std::error_code error;
        if (sync && ::fdatasync(m_fd) != 0)
            error = lastError();
        if (::close(m_fd) != 0 && !error)
            error = lastError();
        m_fd = -1;
        return error;
    }

    FileIdentity identity() const override { return m_identity; }

private:
    int m_fd;
    FileIdentity m_identity;
};

std::string tempName(std::string_view hint) {
    static std::atomic<std::uint64_t> counter{0};
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    static const auto process = static_cast<std::uint64_t>(::getpid());
    std::uint64_t mix = ticks ^ (process << 32) ^ (counter++ * 0x9E3779B97F4A7C15u);
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = ".";
    name.append(hint.substr(0, kMaxHintLength));
    name.append(".~");
    for (int i = 0; i < 8; ++i) {
        name.push_back(kDigits[mix % 36]);
        mix /= 36;
    }
    name.push_back('~');
    return name;
}

std::string joinPath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

bool entryIsFolder(int folderFd, const struct dirent& entry) {
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat st {};
    return ::fstatat(folderFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

std::error_code copyBytes(int from, int to) {
    std::vector<char> buffer(kReadChunk);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastError();
        if (n == 0)
            return {};
        if (const auto error = writeAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return error;
    }
}

/// Creates a new file with a fresh name in folder, for writing.
std::error_code openTemp(const std::string& folder, std::string_view nameHint, int& fd, std::string& tempPath) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        tempPath = joinPath(folder, tempName(nameHint));
        // 0666 lets the umask decide a new page's permissions, as for any file the user creates.
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return {};
        if (errno != EEXIST) {
            tempPath.clear();
            return lastError();
        }
    }
    tempPath.clear();
    return {EEXIST, std::generic_category()};
}

} // namespace

std::error_code PosixFileSystem::readFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return lastError();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return {EISDIR, std::generic_category()};
    // A regular file is read up to the size it had when opened; anything else up to its end.
    const auto size = static_cast<std::size_t>(st.st_size);
    const bool sized = S_ISREG(st.st_mode) && size > 0;
    std::size_t capacity = sized ? size : kReadChunk;
    std::size_t used = 0;
    bytes.resize(capacity);
    while (!sized || used < size) {
        if (used == capacity) {
            capacity = std::max(capacity * 2, kReadChunk);
            bytes.resize(capacity);
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + used, capacity - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const auto error = lastError();
            bytes.resize(used);
            return error;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return {};
}

std::error_code PosixFileSystem::status(const std::string& path, FileStatus& status) {
    status = {};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return lastError();
    if (S_ISLNK(st.st_mode)) {
        status.isSymlink = true;
        if (::stat(path.c_str(), &st) != 0)
            return lastError();
    }
    status.isFolder = S_ISDIR(st.st_mode);
    status.mode = st.st_mode & 07777;
    status.owner = st.st_uid;
    status.group = st.st_gid;
    status.identity = identityOf(st);
    status.writable = isWritable(path, st);
    return {};
}

std::error_code PosixFileSystem::listFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    entries.clear();
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr)
        return lastError();
    std::error_code error;
    for (;;) {
        errno = 0;
        const struct dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            if (errno != 0)
                error = lastError();
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        entries.push_back({std::string(name), entryIsFolder(::dirfd(folder), *entry)});
    }
    ::closedir(folder);
    // Enumeration order of the disk is arbitrary here; a sorted order makes every run list the same way.
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return error;
}

std::error_code PosixFileSystem::createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::createTempFile(const std::string& folder, std::string_view nameHint,
                                                std::unique_ptr<OutputFile>& file, std::string& tempPath) {
    int fd = -1;
    if (const auto error = openTemp(folder, nameHint, fd, tempPath))
        return error;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const auto error = lastError();
        ::close(fd);
        ::unlink(tempPath.c_str());
        tempPath.clear();
        return error;
    }
    file = std::make_unique<PosixOutputFile>(fd, identityOf(st));
    return {};
}

std::error_code PosixFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
    const Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (source.get() < 0 || ::fstat(source.get(), &st) != 0)
        return lastError();
    int fd = -1;
    std::string tempPath;
    const auto cut = to.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : to.substr(0, cut + 1);
    if (const auto error = openTemp(folder, std::string_view(to).substr(cut + 1), fd, tempPath))
        return error;
    // The copy is complete and on the disk before it replaces the old one, so a failure leaves that as it was.
    std::error_code error = copyBytes(source.get(), fd);
    if (!error && ::fchmod(fd, st.st_mode & 07777) != 0)
        error = lastError();
    if (!error && ::fdatasync(fd) != 0)
        error = lastError();
    if (::close(fd) != 0 && !error)
        error = lastError();
    if (!error && ::rename(tempPath.c_str(), to.c_str()) != 0)
        error = lastError();
    if (error)
        ::unlink(tempPath.c_str());
    return error;
}

std::error_code PosixFileSystem::canonicalPath(const std::string& path, std::string& canonical) {
    std::error_code error;
    const auto resolved = std::filesystem::weakly_canonical(std::filesystem::path(path), error);
    if (error)
        return error;
    canonical = resolved.string();
    return {};
}

} // namespace quillora::run
