#include "PageWriter.h"

#include "engine/Paths.h"

#include <cerrno>

namespace quillora::run {

namespace {

std::string folderOf(const std::string& path) {
    const std::string folder = engine::getFilePathOnly(path);
    return folder.empty() ? std::string(".") + engine::kPathSeparator : folder;
}

std::string nameOf(const std::string& path) {
    const auto cut = path.rfind(engine::kPathSeparator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

PageWriter::PageWriter(FileSystem& fileSystem) : m_fs(fileSystem) {}

std::error_code PageWriter::resolveTarget(const std::string& path, std::string& target, FileStatus& existing,
                                          bool& exists) {
    target = path;
    exists = false;
    const std::error_code error = m_fs.status(path, existing);
    if (error == std::errc::no_such_file_or_directory)
        return {}; // a new file (or a dangling link, which the new file replaces)
    if (error)
        return error;
    exists = true;
    if (existing.isFolder)
        return std::make_error_code(std::errc::is_a_directory);
    if (!existing.writable)
        return std::make_error_code(std::errc::permission_denied);
    if (existing.isSymlink)
        return m_fs.canonicalPath(path, target);
    return {};
}

std::error_code PageWriter::write(const std::string& path, std::string_view bytes, FileIdentity& written) {
    std::string target;
    FileStatus existing;
    bool exists = false;
    if (const auto error = resolveTarget(path, target, existing, exists))
        return error;

    std::unique_ptr<OutputFile> file;
    std::string tempPath;
    if (const auto error = m_fs.createTempFile(folderOf(target), nameOf(target), file, tempPath))
        return error;
    std::error_code error = file->write(bytes);
    if (!error && exists)
        error = file->keepAttributes(existing);
    // Only a file that replaces another is synced: its old content is what a crash must not lose.
    if (!error)
        error = file->close(exists);
    if (!error)
        error = m_fs.renameFile(tempPath, target);
    if (error) {
        file.reset();
        (void)m_fs.removeFile(tempPath);
        return error;
    }
    written = file->identity();
    return {};
}

} // namespace quillora::run
