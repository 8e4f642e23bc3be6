#pragma once

#include "SelectionEntry.h"
#include "crypto/SiteKeyFile.h"
#include "disk/FileSystem.h"

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::run {

/// Where a site's key file lives and how it reaches the disk. By default it is FOLDER.quillora-key beside the first
/// picked folder (for a page picked on its own: beside the page's folder), outside what the user publishes; a copy
/// leaves every *.quillora-key name out.
class SiteKeyStore {
public:
    static constexpr std::string_view kSuffix = ".quillora-key";

    explicit SiteKeyStore(disk::FileSystem& fileSystem) : m_fs(fileSystem) {}

    /// The key file's place for a selection when none is named (absolute); empty when the first picked folder has no
    /// folder above it.
    static std::string defaultPath(const std::vector<SelectionEntry>& selection);

    /// Reads the key file at path; exists is false (and nothing is an error) when there is none.
    std::error_code read(const std::string& path, crypto::SiteKeyFile& file, bool& exists);
    /// Writes the key file at path whole, in place of the one there.
    std::error_code write(const std::string& path, const crypto::SiteKeyFile& file);

private:
    disk::FileSystem& m_fs;
};

} // namespace quillora::run
