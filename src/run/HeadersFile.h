#pragma once

#include "disk/FileSystem.h"

#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::run {

/// The file that tells hosts which set response headers (the "_headers" syntax: a path, then its headers indented
/// below it) the Content-Security-Policy of each page a strict run wrote, one file at the root of each site. A
/// file of this program's is brought up to date: the blocks of pages this run did not write are kept. A file of the
/// site's own is never touched: the policies then go into a file beside it, for the user to add to it.
class HeadersFile {
public:
    static constexpr std::string_view kName = "_headers";
    static constexpr std::string_view kBesideOwnName = "_headers.quillora";
    /// The first line of a file this program wrote.
    static constexpr std::string_view kFirstLine =
        "# Content-Security-Policy of the pages protected for strict policies; each run brings its pages' blocks up "
        "to date.";

    /// What became of one site's file.
    struct Outcome {
        std::string path;       // the file written (or not written)
        bool besideOwn = false; // the site has a _headers file of its own, which was left as it is
        std::error_code error;
    };

    /// Notes the policy of a page written at `relative` (native separators) below the site's root folder.
    void add(const std::string& root, std::string_view relative, const std::string& policy);
    bool empty() const { return m_sites.empty(); }

    /// Writes each site's file.
    std::vector<Outcome> write(disk::FileSystem& fileSystem) const;

    /// The addresses a host may serve a page at: its path, and for a page the path without ".html" or ".htm" and,
    /// for an index page, its folder's.
    static std::vector<std::string> addressesOf(std::string_view relative);
    /// The text of the file: earlier holds the file as it stands (ours, or empty), blocks the policies by address.
    static std::string text(std::string_view earlier, const std::map<std::string, std::string>& blocks);
    /// True for a file this program wrote.
    static bool isOurs(std::string_view bytes);

private:
    std::map<std::string, std::map<std::string, std::string>> m_sites; // root: address: policy
};

} // namespace quillora::run
