#include "ProcessedFiles.h"

#include <algorithm>

namespace quillora::run {

ProcessedFiles::ProcessedFiles(disk::FileSystem& fileSystem) : m_fs(fileSystem) {}

std::string ProcessedFiles::canonical(const std::string& path) {
    std::string resolved;
    return m_fs.canonicalPath(path, resolved) ? path : resolved;
}

bool ProcessedFiles::add(const std::string& path) {
    disk::FileStatus status;
    if (m_fs.status(path, status))
        return m_paths.insert(canonical(path)).second;
    return add(path, status.identity);
}

bool ProcessedFiles::add(const std::string& path, const disk::FileIdentity& identity) {
    auto& names = m_names[identity];
    if (names.empty()) {
        names.push_back(path);
        return true;
    }
    bool& resolved = m_resolved[identity];
    if (!resolved) {
        for (auto& name : names)
            name = canonical(name);
        resolved = true;
    }
    const std::string name = canonical(path);
    if (std::find(names.begin(), names.end(), name) != names.end())
        return false;
    names.push_back(name);
    return true;
}

void ProcessedFiles::addWritten(const disk::FileIdentity& identity, const std::string& path) {
    auto& names = m_names[identity];
    names.push_back(m_resolved[identity] ? canonical(path) : path);
}

void ProcessedFiles::clear() {
    m_names.clear();
    m_resolved.clear();
    m_paths.clear();
}

} // namespace quillora::run
