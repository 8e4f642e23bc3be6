#pragma once

#include <string_view>

namespace quillora::run {

// Which of a site's files are not pages the run rewrites, but still matter to what is published. Names are compared
// without regard to the case of their ASCII letters.

/// Folders no scan enters: version control (.git, .svn, .hg, .bzr, _darcs, CVS), whose history holds every
/// original, and the folders where encrypted runs keep originals (NAME.originals).
bool IsLeftOutFolderName(std::string_view name);

/// Editor and backup leftovers, which hold an earlier text of a file: NAME~, .NAME.swp, .NAME.swo, .NAME.swx,
/// #NAME#, .#NAME, NAME.orig, NAME.rej, NAME.bak.
bool IsLeftoverName(std::string_view name);

/// Files a copy of the site leaves behind: the leftovers, a version-control link (.git as a file), the site key
/// (NAME.quillora-key) and the project file (quillora.toml).
bool IsLeftOutFileName(std::string_view name);

/// Files known to hold the text of pages in clear: pages the scan does not take (a .htm, .html, .xhtml, .xht or
/// .shtml ending in other letter cases or kinds), page sources (.md, .markdown, .rst, .adoc), search indexes
/// (search_index.json, search-index.json, searchindex.js, searchindex.json, index.json) and feeds and maps
/// (sitemap.xml, feed.xml, rss.xml, atom.xml, index.xml, NAME.rss, NAME.atom).
bool CarriesPageText(std::string_view name);

/// A name the user picked on its own that may be rewritten as a page: ".htm" or ".html" in any letter case.
bool IsPickedPageName(std::string_view name);

} // namespace quillora::run
