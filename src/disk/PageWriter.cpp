#include "PageWriter.h"

#include "DiskError.h"
#include "disk/Paths.h"

#include <utility>

namespace quillora::disk {

namespace {

std::string folderOf(const std::string& path) {
    const std::string folder = disk::getFilePathOnly(path);
    return folder.empty() ? std::string(".") + disk::kPathSeparator : folder;
}

std::string nameOf(const std::string& path) {
    const auto cut = path.rfind(disk::kPathSeparator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

PageWriter::Pending::Pending(Pending&& other) noexcept
    : file(std::move(other.file)), linked(std::exchange(other.linked, false)), identity(other.identity),
      replacing(other.replacing), tempPath(std::exchange(other.tempPath, {})), target(std::move(other.target)),
      fs(other.fs) {}

PageWriter::Pending& PageWriter::Pending::operator=(Pending&& other) noexcept {
    if (this != &other) {
        discard();
        file = std::move(other.file);
        linked = std::exchange(other.linked, false);
        identity = other.identity;
        replacing = other.replacing;
        tempPath = std::exchange(other.tempPath, {});
        target = std::move(other.target);
        fs = other.fs;
    }
    return *this;
}

void PageWriter::Pending::discard() {
    // The file goes while its lock is still held, so that no other run takes it for a leftover of its own.
    if (fs != nullptr && !tempPath.empty())
        (void)fs->removeFile(tempPath);
    tempPath.clear();
    file.reset();
    linked = false;
}

PageWriter::PageWriter(FileSystem& fileSystem) : m_fs(fileSystem) {}

std::error_code PageWriter::resolve(const std::string& path, Target& target) {
    target = {path, false, false, {}};
    const std::error_code error = m_fs.status(path, target.existing);
    target.isLink = target.existing.isSymlink;
    if (error == std::errc::no_such_file_or_directory)
        return {}; // a new file (or a dangling link, which the new file replaces)
    if (error)
        return error;
    target.exists = true;
    if (target.existing.isFolder)
        return std::make_error_code(std::errc::is_a_directory);
    if (!target.existing.writable)
        return std::make_error_code(std::errc::permission_denied);
    if (target.existing.isSymlink)
        return m_fs.canonicalPath(path, target.path);
    return {};
}

std::error_code PageWriter::stage(const std::string& targetPath, std::string_view bytes, const FileStatus* attributes,
                                  Pending& pending, Replacing replacing) {
    pending = Pending();
    std::unique_ptr<OutputFile> file;
    std::string tempPath;
    if (const auto error =
            m_fs.createTempFile(folderOf(targetPath), nameOf(targetPath), replacing.expected, file, tempPath))
        return error;
    pending.identity = file->identity();
    pending.replacing = replacing;
    pending.file = std::move(file);
    pending.tempPath = std::move(tempPath);
    pending.target = targetPath;
    pending.fs = &m_fs;
    if (const auto error = pending.file->write(bytes))
        return error;
    if (attributes != nullptr)
        return pending.file->keepAttributes(*attributes);
    return {};
}

std::error_code PageWriter::stageLink(const std::string& targetPath, LockedFile& file, Pending& pending,
                                      Replacing replacing) {
    pending = Pending();
    std::string tempPath;
    if (const auto error = file.linkTemporary(folderOf(targetPath), nameOf(targetPath), replacing.expected, tempPath))
        return error;
    pending.linked = true;
    pending.identity = file.status().identity;
    pending.replacing = replacing;
    pending.tempPath = std::move(tempPath);
    pending.target = targetPath;
    pending.fs = &m_fs;
    return {};
}

std::error_code PageWriter::place(Pending& pending, FileIdentity& written) {
    const auto error = pending.replacing.checked ? m_fs.replaceChecked(pending.tempPath, pending.identity,
                                                                       pending.target, pending.replacing.expected)
                                                 : m_fs.renameFile(pending.tempPath, pending.target);
    if (error == DiskError::ChangedDuringRun) {
        // Only the run's own file goes with the temporary name: a file another program put there stays.
        FileStatus there;
        if (m_fs.status(pending.tempPath, there) || there.isSymlink || there.identity != pending.identity)
            pending.tempPath.clear();
    }
    if (error)
        return error;
    written = pending.identity;
    pending.tempPath.clear(); // it has its place: nothing to remove
    pending.discard();
    return {};
}

std::error_code PageWriter::write(const std::string& path, std::string_view bytes, FileIdentity& written) {
    Target target;
    if (const auto error = resolve(path, target))
        return error;
    Pending pending;
    if (const auto error = stage(target.path, bytes, target.exists ? &target.existing : nullptr, pending))
        return error;
    // Only a file that replaces another is synced: its old content is what a crash must not lose.
    if (const auto error = pending.file->finish(target.exists))
        return error;
    return place(pending, written);
}

} // namespace quillora::disk
