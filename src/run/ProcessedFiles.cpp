#include "ProcessedFiles.h"

namespace quillora::run {

ProcessedFiles::ProcessedFiles(FileSystem& fileSystem) : m_fs(fileSystem) {}

bool ProcessedFiles::add(const std::string& path) {
    FileStatus status;
    if (!m_fs.status(path, status))
        return m_identities.insert(status.identity).second;
    std::string canonical;
    if (!m_fs.canonicalPath(path, canonical))
        return m_paths.insert(canonical).second;
    return m_paths.insert(path).second;
}

void ProcessedFiles::addWritten(const FileIdentity& identity) {
    m_identities.insert(identity);
}

void ProcessedFiles::clear() {
    m_identities.clear();
    m_paths.clear();
}

} // namespace quillora::run
