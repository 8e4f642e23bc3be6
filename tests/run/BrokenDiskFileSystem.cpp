#include "BrokenDiskFileSystem.h"

#include <filesystem>

namespace quillora::run::test {

namespace {

/// Writes half of each piece, then fails: what a disk that fills up mid-page leaves in the temporary file.
class HalfWrittenFile : public OutputFile {
public:
    HalfWrittenFile(std::unique_ptr<OutputFile> real, std::error_code error)
        : m_real(std::move(real)), m_error(error) {}

    std::error_code write(std::string_view bytes) override {
        (void)m_real->write(bytes.substr(0, bytes.size() / 2));
        return m_error;
    }
    std::error_code keepAttributes(const FileStatus& original) override { return m_real->keepAttributes(original); }
    std::error_code close(bool sync) override { return m_real->close(sync); }
    FileIdentity identity() const override { return m_real->identity(); }

private:
    std::unique_ptr<OutputFile> m_real;
    std::error_code m_error;
};

} // namespace

BrokenDiskFileSystem::BrokenDiskFileSystem(Fault fault, std::string pathPart, int error)
    : m_fault(fault), m_pathPart(std::move(pathPart)), m_error(error) {}

bool BrokenDiskFileSystem::strikes(Fault fault, std::string_view path) {
    if (fault != m_fault || path.find(m_pathPart) == std::string_view::npos)
        return false;
    ++m_strikes;
    return true;
}

std::error_code BrokenDiskFileSystem::readFile(const std::string& path, std::string& bytes) {
    const std::error_code real = m_real.readFile(path, bytes);
    if (!real && strikes(Fault::ReadHalfway, path)) {
        bytes.resize(bytes.size() / 2);
        return error();
    }
    return real;
}

std::error_code BrokenDiskFileSystem::status(const std::string& path, FileStatus& status) {
    return m_real.status(path, status);
}

std::error_code BrokenDiskFileSystem::listFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    if (strikes(Fault::FolderVanishes, path)) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    return m_real.listFolder(path, entries);
}

std::error_code BrokenDiskFileSystem::createFolder(const std::string& path) {
    if (strikes(Fault::CreateFolder, path))
        return error();
    return m_real.createFolder(path);
}

std::error_code BrokenDiskFileSystem::createTempFile(const std::string& folder, std::string_view nameHint,
                                                     std::unique_ptr<OutputFile>& file, std::string& tempPath) {
    const std::string target = (std::filesystem::path(folder) / nameHint).lexically_normal().string();
    if (strikes(Fault::CreateTemp, target))
        return error();
    if (const auto real = m_real.createTempFile(folder, nameHint, file, tempPath))
        return real;
    if (strikes(Fault::WriteHalfway, target))
        file = std::make_unique<HalfWrittenFile>(std::move(file), error());
    return {};
}

std::error_code BrokenDiskFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (strikes(Fault::Rename, to))
        return error();
    return m_real.renameFile(from, to);
}

std::error_code BrokenDiskFileSystem::removeFile(const std::string& path) {
    return m_real.removeFile(path);
}

std::error_code BrokenDiskFileSystem::copyFile(const std::string& from, const std::string& to) {
    if (strikes(Fault::CopyFails, to))
        return error();
    return m_real.copyFile(from, to);
}

std::error_code BrokenDiskFileSystem::canonicalPath(const std::string& path, std::string& canonical) {
    return m_real.canonicalPath(path, canonical);
}

} // namespace quillora::run::test
