#include "PosixFileSystem.h"

#include "DiskError.h"
#include "TemporaryNames.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillora::disk {

namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;
constexpr int kTempNameAttempts = 100;
constexpr int kLockAttempts = 100;
// A lock another program holds is asked for again after a pause that grows to this.
constexpr auto kLongestLockPause = std::chrono::milliseconds(20);

std::error_code lastError() {
    return {errno, std::generic_category()};
}

/// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// A path longer than the system takes in one call is reached through descriptors of its folders, a part at a
// time: the folder of the last name is opened by walking, and the call made relative to it.
class AtPath {
public:
    explicit AtPath(const std::string& path) {
        if (path.size() < PATH_MAX) {
            m_name = path;
            return;
        }
        std::string_view whole = path;
        while (whole.size() > 1 && whole.back() == '/')
            whole.remove_suffix(1);
        const auto cut = whole.rfind('/');
        m_name = std::string(whole.substr(cut + 1));
        m_error = walk(whole.substr(0, cut + 1));
    }

    int dir() const { return m_folder.get() >= 0 ? m_folder.get() : AT_FDCWD; }
    const char* name() const { return m_name.c_str(); }
    std::error_code error() const { return m_error; }

private:
    std::error_code walk(std::string_view folder) {
        Descriptor current(::open(folder.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (current.get() < 0)
            return lastError();
        std::size_t at = folder.find_first_not_of('/');
        while (at != std::string_view::npos && at < folder.size()) {
            // As many whole names as fit into one call.
            std::size_t end = at;
            for (std::size_t next = folder.find('/', end); next != std::string_view::npos && next - at < PATH_MAX - 1;
                 next = folder.find('/', next + 1))
                end = next;
            if (end == at)
                end = std::min(folder.find('/', at), folder.size()); // one name too long: let the call say so
            const std::string part(folder.substr(at, end - at));
            Descriptor next(::openat(current.get(), part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (next.get() < 0)
                return lastError();
            current = std::move(next);
            at = folder.find_first_not_of('/', end);
        }
        m_folder = std::move(current);
        return {};
    }

    Descriptor m_folder;
    std::string m_name;
    std::error_code m_error;
};

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::int64_t nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct timespec timespecOf(std::int64_t ns) {
    struct timespec t {};
    t.tv_sec = static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}

bool isWritable(const AtPath& at, const struct stat& st) {
    if ((st.st_mode & 0222) == 0)
        return false; // read-only for everyone; root is refused too, as the kernel would not refuse it
    static const uid_t me = ::geteuid();
    if (me == 0)
        return true;
    if (st.st_uid == me)
        return (st.st_mode & S_IWUSR) != 0;
    return ::faccessat(at.dir(), at.name(), W_OK, AT_EACCESS) == 0;
}

FileStatus statusOf(const struct stat& st, bool writable, bool symlink) {
    FileStatus status;
    status.isFolder = S_ISDIR(st.st_mode);
    status.isRegular = S_ISREG(st.st_mode);
    status.isSymlink = symlink;
    status.writable = writable;
    status.mode = st.st_mode & 07777;
    status.owner = st.st_uid;
    status.group = st.st_gid;
    status.links = st.st_nlink;
    status.modifiedNs = nanoseconds(st.st_mtim);
    status.accessedNs = nanoseconds(st.st_atim);
    status.size = st.st_size;
    status.identity = identityOf(st);
    return status;
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

// Opens a regular file for reading without waiting on a FIFO or taking a terminal; a folder or any other kind of
// file is refused.
std::error_code openRegular(const std::string& path, Descriptor& fd, struct stat& st) {
    const AtPath at(path);
    if (at.error())
        return at.error();
    fd = Descriptor(::openat(at.dir(), at.name(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return lastError();
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return {EISDIR, std::generic_category()};
    if (!S_ISREG(st.st_mode))
        return DiskError::NotARegularFile;
    return {};
}

std::error_code readAll(int fd, const struct stat& st, std::string& bytes) {
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
        const ssize_t n = ::read(fd, bytes.data() + used, capacity - used);
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

class PosixLockedFile : public LockedFile {
public:
    PosixLockedFile(Descriptor fd, const struct stat& st, FileStatus status)
        : m_fd(std::move(fd)), m_stat(st), m_status(status) {}

    std::error_code read(std::string& bytes) override {
        bytes.clear();
        if (m_read && ::lseek(m_fd.get(), 0, SEEK_SET) < 0)
            return lastError();
        m_read = true;
        return readAll(m_fd.get(), m_stat, bytes);
    }
    const FileStatus& status() const override { return m_status; }
    std::error_code linkTemporary(const std::string& folder, std::string_view nameHint,
                                  std::optional<FileIdentity> partner, std::string& tempPath) override;

private:
    Descriptor m_fd; // closing it lets the lock go
    struct stat m_stat;
    FileStatus m_status;
    bool m_read = false;
};

class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(Descriptor fd, FileIdentity identity) : m_fd(std::move(fd)), m_identity(identity) {}

    std::error_code write(std::string_view bytes) override { return writeAll(m_fd.get(), bytes); }

    std::error_code keepAttributes(const FileStatus& original) override {
        // Best effort on the owner: only root may give a file away, and a failure must not lose the page.
        if (::fchown(m_fd.get(), original.owner, original.group) != 0)
            (void)::fchown(m_fd.get(), static_cast<uid_t>(-1), original.group);
        if (::fchmod(m_fd.get(), original.mode & 07777) != 0)
            return lastError();
        return {};
    }

    std::error_code keepTimes(const FileStatus& original) override {
        const struct timespec times[2] = {timespecOf(original.accessedNs), timespecOf(original.modifiedNs)};
        if (::futimens(m_fd.get(), times) != 0)
            return lastError();
        return {};
    }

    std::error_code finish(bool sync) override {
        if (sync && ::fdatasync(m_fd.get()) != 0)
            return lastError();
        return {};
    }

    FileIdentity identity() const override { return m_identity; }
    int descriptor() const { return m_fd.get(); }

private:
    Descriptor m_fd; // held open, and locked, until the file has its place
    FileIdentity m_identity;
};

/// A name of the temporary files' shape for a file not made yet: it fits no file, so it is never taken for a leftover.
std::string interimName(std::string_view hint) {
    static std::atomic<std::uint64_t> counter{0};
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    static const auto process = static_cast<std::uint64_t>(::getpid());
    const std::uint64_t mix = ticks ^ (process << 32) ^ (counter++ * 0x9E3779B97F4A7C15u);
    return TemporaryName(hint, mix, ~mix);
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

bool sameFile(const AtPath& at, const struct stat& held) {
    struct stat now {};
    return ::fstatat(at.dir(), at.name(), &now, 0) == 0 && identityOf(now) == identityOf(held);
}

/// The identity of what a name holds, the name itself when it is a link; false when it holds nothing.
bool identityAt(const AtPath& at, FileIdentity& identity) {
    struct stat st {};
    if (::fstatat(at.dir(), at.name(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    identity = identityOf(st);
    return true;
}

/// Gives the file of an open descriptor a further name (through /proc: the descriptor's own file, not whatever a
/// path names by now).
int linkDescriptor(int fd, const AtPath& at) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), at.dir(), at.name(), AT_SYMLINK_FOLLOW);
}

std::uint64_t partnerInode(std::optional<FileIdentity> partner, const struct stat& own) {
    return partner ? partner->inode : static_cast<std::uint64_t>(own.st_ino);
}

/// Where a file system has no unnamed files: a fresh name first, which the file then trades for the name made for it.
std::error_code openNamedTemp(const std::string& folder, std::string_view nameHint, std::optional<FileIdentity> partner,
                              Descriptor& fd, std::string& tempPath, struct stat& st) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const std::string interim = joinPath(folder, interimName(nameHint));
        const AtPath at(interim);
        if (at.error())
            return at.error();
        // 0666 lets the umask decide a new page's permissions, as for any file the user creates.
        fd = Descriptor(::openat(at.dir(), at.name(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            return lastError();
        }
        if (::flock(fd.get(), LOCK_EX) != 0 || ::fstat(fd.get(), &st) != 0) {
            const auto error = lastError();
            (void)::unlinkat(at.dir(), at.name(), 0);
            return error;
        }
        tempPath = joinPath(folder, TemporaryName(nameHint, st.st_ino, partnerInode(partner, st)));
        const AtPath named(tempPath);
        if (named.error() || ::renameat(at.dir(), at.name(), named.dir(), named.name()) != 0) {
            const auto error = named.error() ? named.error() : lastError();
            (void)::unlinkat(at.dir(), at.name(), 0);
            tempPath.clear();
            return error;
        }
        return {};
    }
    return {EEXIST, std::generic_category()};
}

/// Creates a new file in folder, locked before it has a name (so that no other run ever sees it unheld), under the
/// temporary name made for it.
std::error_code openTemp(const std::string& folder, std::string_view nameHint, std::optional<FileIdentity> partner,
                         Descriptor& fd, std::string& tempPath, struct stat& st) {
    tempPath.clear();
    const AtPath in(joinPath(folder, "."));
    if (in.error())
        return in.error();
    fd = Descriptor(::openat(in.dir(), in.name(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return openNamedTemp(folder, nameHint, partner, fd, tempPath, st);
        return lastError();
    }
    if (::flock(fd.get(), LOCK_EX) != 0 || ::fstat(fd.get(), &st) != 0)
        return lastError();
    const std::string path = joinPath(folder, TemporaryName(nameHint, st.st_ino, partnerInode(partner, st)));
    const AtPath at(path);
    if (at.error())
        return at.error();
    if (linkDescriptor(fd.get(), at) != 0) {
        if (errno == EEXIST || errno == ENOSPC || errno == EDQUOT || errno == EROFS)
            return lastError();
        // Without /proc an unnamed file cannot be given a name: a named one instead.
        return openNamedTemp(folder, nameHint, partner, fd, tempPath, st);
    }
    tempPath = path;
    return {};
}

// The new name needs no lock of its own: it names the page's file, which this run holds locked.
std::error_code PosixLockedFile::linkTemporary(const std::string& folder, std::string_view nameHint,
                                               std::optional<FileIdentity> partner, std::string& tempPath) {
    tempPath = joinPath(folder, TemporaryName(nameHint, m_stat.st_ino, partnerInode(partner, m_stat)));
    const AtPath at(tempPath);
    if (at.error()) {
        tempPath.clear();
        return at.error();
    }
    if (linkDescriptor(m_fd.get(), at) == 0)
        return {};
    const auto error = lastError();
    // A name a killed run made for this very file (the same page, the same backup) serves as well.
    FileIdentity there;
    if (error == std::errc::file_exists && identityAt(at, there) && there == identityOf(m_stat))
        return {};
    tempPath.clear();
    return error;
}

/// Copies the bytes of one file into another: shared copy-on-write blocks where the file system offers them (a
/// change of either file later never reaches the other), else a copy in the kernel, else read and write.
std::error_code copyContent(int from, int to) {
    if (::ioctl(to, FICLONE, from) == 0)
        return {};
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0)
            return {};
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return lastError();
        break;
    }
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

std::error_code openFolder(const std::string& path, Descriptor& fd) {
    const AtPath at(path);
    if (at.error())
        return at.error();
    fd = Descriptor(::openat(at.dir(), at.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() < 0 ? lastError() : std::error_code();
}

/// Takes the lock of an open file, asking again after growing pauses until the deadline: flock itself waits for good.
std::error_code lockUntil(int fd, std::chrono::steady_clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return lastError();
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return std::make_error_code(std::errc::resource_unavailable_try_again);
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, kLongestLockPause);
    }
    return {};
}

/// Swaps two names in one step; false where the file system cannot.
bool exchangeNames(const AtPath& a, const AtPath& b, std::error_code& error) {
    if (::renameat2(a.dir(), a.name(), b.dir(), b.name(), RENAME_EXCHANGE) == 0)
        return true;
    error = lastError();
    return false;
}

// Too long to resolve in one call: taken as written, made absolute and tidied. A ".." is not tidied away, as the
// system takes it after the links before it and the text cannot tell where that leads: such a path is refused.
std::error_code tidiedAsWritten(const std::string& path, std::string& canonical) {
    const std::filesystem::path written(path);
    for (const auto& part : written) {
        if (part == "..")
            return std::make_error_code(std::errc::filename_too_long);
    }
    std::error_code error;
    canonical = std::filesystem::absolute(written, error).lexically_normal().string();
    return error;
}

bool cannotSwap(std::error_code error) {
    return error == std::errc::invalid_argument || error == std::errc::function_not_supported;
}

// Nothing was at the name when the run looked: the file takes it only while that is still so.
std::error_code placeNew(const AtPath& source, const AtPath& target) {
    if (::renameat2(source.dir(), source.name(), target.dir(), target.name(), RENAME_NOREPLACE) == 0)
        return {};
    const auto error = lastError();
    if (error == std::errc::file_exists)
        return DiskError::ChangedDuringRun;
    if (!cannotSwap(error))
        return error;
    FileIdentity there;
    if (identityAt(target, there))
        return DiskError::ChangedDuringRun;
    if (::renameat(source.dir(), source.name(), target.dir(), target.name()) != 0)
        return lastError();
    return {};
}

// A file system that cannot swap names: looked at, then renamed (a save in between would still be replaced).
std::error_code replaceLooked(const AtPath& source, const AtPath& target, const FileIdentity& expected) {
    FileIdentity there;
    if (!identityAt(target, there) || there != expected)
        return DiskError::ChangedDuringRun;
    if (::renameat(source.dir(), source.name(), target.dir(), target.name()) != 0)
        return lastError();
    return {};
}

} // namespace

std::error_code PosixFileSystem::openLocked(const std::string& path, std::chrono::milliseconds wait,
                                            std::unique_ptr<LockedFile>& file) {
    const AtPath at(path);
    if (at.error())
        return at.error();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        // Looked at before it is opened: opening a pipe would wait for a writer, and opening a device can start
        // what the device does (a watchdog, a tape).
        struct stat named {};
        if (::fstatat(at.dir(), at.name(), &named, AT_SYMLINK_NOFOLLOW) != 0)
            return lastError();
        const bool symlink = S_ISLNK(named.st_mode);
        if (symlink && ::fstatat(at.dir(), at.name(), &named, 0) != 0)
            return lastError();
        if (!S_ISREG(named.st_mode))
            return DiskError::NotARegularFile;
        Descriptor fd(::openat(at.dir(), at.name(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.get() < 0)
            return lastError();
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return lastError();
        if (!S_ISREG(st.st_mode))
            return DiskError::NotARegularFile;
        if (const auto error = lockUntil(fd.get(), deadline))
            return error;
        // While this run waited, another may have put a new file in the page's place: look again.
        if (!sameFile(at, st))
            continue;
        file = std::make_unique<PosixLockedFile>(std::move(fd), st, statusOf(st, isWritable(at, st), symlink));
        return {};
    }
    return std::make_error_code(std::errc::resource_unavailable_try_again);
}

std::error_code PosixFileSystem::readFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    Descriptor fd;
    struct stat st {};
    if (const auto error = openRegular(path, fd, st))
        return error;
    return readAll(fd.get(), st, bytes);
}

std::error_code PosixFileSystem::readStart(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    Descriptor fd;
    struct stat st {};
    if (const auto error = openRegular(path, fd, st))
        return error;
    bytes.resize(std::min(limit, static_cast<std::size_t>(std::max<off_t>(st.st_size, 0))));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastError();
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {};
}

std::error_code PosixFileSystem::status(const std::string& path, FileStatus& status) {
    status = {};
    const AtPath at(path);
    if (at.error())
        return at.error();
    struct stat st {};
    if (::fstatat(at.dir(), at.name(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    const bool symlink = S_ISLNK(st.st_mode);
    if (symlink && ::fstatat(at.dir(), at.name(), &st, 0) != 0) {
        status.isSymlink = true; // a link that leads nowhere is still a link
        return lastError();
    }
    status = statusOf(st, isWritable(at, st), symlink);
    return {};
}

std::error_code PosixFileSystem::listFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    entries.clear();
    Descriptor fd;
    if (const auto error = openFolder(path, fd))
        return error;
    DIR* folder = ::fdopendir(fd.get());
    if (folder == nullptr)
        return lastError();
    fd.release(); // the listing owns it now
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
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const AtPath at(folder);
    if (at.error())
        return at.error();
    if (::mkdirat(at.dir(), at.name(), 0777) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::createTempFile(const std::string& folder, std::string_view nameHint,
                                                std::optional<FileIdentity> partner, std::unique_ptr<OutputFile>& file,
                                                std::string& tempPath) {
    Descriptor fd;
    struct stat st {};
    if (const auto error = openTemp(folder, nameHint, partner, fd, tempPath, st))
        return error;
    file = std::make_unique<PosixOutputFile>(std::move(fd), identityOf(st));
    return {};
}

std::size_t PosixFileSystem::removeStaleTemporaries(const std::string& folder) {
    Descriptor dir;
    if (openFolder(folder, dir))
        return 0;
    std::vector<FolderEntry> entries;
    if (listFolder(folder, entries))
        return 0;
    std::size_t removed = 0;
    for (const auto& entry : entries) {
        if (entry.isFolder || !IsTemporaryName(entry.name))
            continue;
        const Descriptor fd(::openat(dir.get(), entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        // Only a name made for the very file it holds is a run's: a user's file that looks like one stays.
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            !IsTemporaryNameOf(entry.name, st.st_ino))
            continue;
        // A run that is still writing holds its lock: only a file nobody holds is a leftover.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat now {};
        if (::fstatat(dir.get(), entry.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            identityOf(now) == identityOf(st) && ::unlinkat(dir.get(), entry.name.c_str(), 0) == 0)
            ++removed;
    }
    return removed;
}

std::error_code PosixFileSystem::renameFile(const std::string& from, const std::string& to) {
    const AtPath source(from);
    const AtPath target(to);
    if (source.error())
        return source.error();
    if (target.error())
        return target.error();
    if (::renameat(source.dir(), source.name(), target.dir(), target.name()) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::replaceChecked(const std::string& from, const FileIdentity& moving,
                                                const std::string& to, std::optional<FileIdentity> expected) {
    const AtPath source(from);
    const AtPath target(to);
    if (source.error())
        return source.error();
    if (target.error())
        return target.error();
    if (!expected)
        return placeNew(source, target);
    std::error_code error;
    if (!exchangeNames(source, target, error)) {
        FileIdentity there;
        if (error == std::errc::no_such_file_or_directory && identityAt(source, there) && !identityAt(target, there))
            return DiskError::ChangedDuringRun; // removed meanwhile
        if (!cannotSwap(error))
            return error;
        return replaceLooked(source, target, *expected); // a file system that cannot swap names
    }
    FileIdentity left;
    FileIdentity arrived;
    if (identityAt(source, left) && left == *expected && identityAt(target, arrived) && arrived == moving) {
        (void)::unlinkat(source.dir(), source.name(), 0);
        return {};
    }
    // What another program put at either name goes back where it was.
    (void)exchangeNames(source, target, error);
    return DiskError::ChangedDuringRun;
}

std::error_code PosixFileSystem::removeFile(const std::string& path) {
    const AtPath at(path);
    if (at.error())
        return at.error();
    if (::unlinkat(at.dir(), at.name(), 0) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::appendToFile(const std::string& path, std::string_view bytes) {
    const AtPath at(path);
    if (at.error())
        return at.error();
    const Descriptor fd(::openat(at.dir(), at.name(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0)
        return lastError();
    if (const auto error = writeAll(fd.get(), bytes))
        return error;
    if (::fdatasync(fd.get()) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::removeEmptyFolder(const std::string& path) {
    const AtPath at(path);
    if (at.error())
        return at.error();
    if (::unlinkat(at.dir(), at.name(), AT_REMOVEDIR) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
    const AtPath at(from);
    if (at.error())
        return at.error();
    struct stat st {};
    if (::fstatat(at.dir(), at.name(), &st, 0) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return {EISDIR, std::generic_category()};
    if (!S_ISREG(st.st_mode))
        return DiskError::NotARegularFile;
    const Descriptor source(::openat(at.dir(), at.name(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (source.get() < 0 || ::fstat(source.get(), &st) != 0)
        return lastError();
    const auto cut = to.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : to.substr(0, cut + 1);
    std::unique_ptr<OutputFile> file;
    std::string tempPath;
    if (const auto error = createTempFile(folder, std::string_view(to).substr(cut + 1), std::nullopt, file, tempPath))
        return error;
    auto& output = static_cast<PosixOutputFile&>(*file);
    const FileStatus original = statusOf(st, false, false);
    std::error_code error = copyContent(source.get(), output.descriptor());
    if (!error)
        error = output.keepAttributes(original);
    if (!error)
        error = output.keepTimes(original);
    if (!error)
        error = renameFile(tempPath, to);
    if (error)
        (void)removeFile(tempPath);
    return error;
}

std::error_code PosixFileSystem::syncFileSystems(const std::vector<std::string>& paths) {
    std::unordered_map<std::uint64_t, Descriptor> byDevice;
    for (const auto& path : paths) {
        const AtPath at(path);
        if (at.error())
            return at.error();
        Descriptor fd(::openat(at.dir(), at.name(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
            return lastError();
        byDevice.try_emplace(static_cast<std::uint64_t>(st.st_dev), std::move(fd));
    }
    for (const auto& [device, fd] : byDevice) {
        if (::syncfs(fd.get()) != 0)
            return lastError();
    }
    return {};
}

std::error_code PosixFileSystem::canonicalPath(const std::string& path, std::string& canonical) {
    std::error_code error;
    if (path.size() >= PATH_MAX)
        return tidiedAsWritten(path, canonical);
    const auto resolved = std::filesystem::weakly_canonical(std::filesystem::path(path), error);
    if (error == std::errc::filename_too_long)
        return tidiedAsWritten(path, canonical);
    if (error)
        return error;
    canonical = resolved.string();
    return {};
}

} // namespace quillora::disk
