#include "SiteFileRules.h"

#include <algorithm>
#include <array>
#include <string>

namespace quillora::run {

namespace {

std::string lowered(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

template <std::size_t N> bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

template <std::size_t N> bool endsInOneOf(std::string_view name, const std::array<std::string_view, N>& endings) {
    return std::any_of(endings.begin(), endings.end(), [name](std::string_view ending) {
        return name.size() > ending.size() && name.ends_with(ending);
    });
}

constexpr std::array<std::string_view, 6> kVersionControl = {".git", ".svn", ".hg", ".bzr", "_darcs", "cvs"};
constexpr std::string_view kOriginals = ".originals";
constexpr std::array<std::string_view, 4> kLeftoverEndings = {"~", ".orig", ".rej", ".bak"};
constexpr std::array<std::string_view, 3> kSwapEndings = {".swp", ".swo", ".swx"};
constexpr std::array<std::string_view, 5> kPageEndings = {".htm", ".html", ".xhtml", ".xht", ".shtml"};
constexpr std::array<std::string_view, 6> kTextEndings = {".md", ".markdown", ".rst", ".adoc", ".rss", ".atom"};
constexpr std::array<std::string_view, 10> kTextNames = {
    "search_index.json", "search-index.json", "searchindex.js", "searchindex.json", "index.json",
    "sitemap.xml",       "feed.xml",          "rss.xml",        "atom.xml",         "index.xml"};

} // namespace

bool IsLeftOutFolderName(std::string_view name) {
    const std::string lower = lowered(name);
    return isOneOf(lower, kVersionControl) || (lower.size() > kOriginals.size() && lower.ends_with(kOriginals));
}

bool IsLeftOutFileName(std::string_view name) {
    const std::string lower = lowered(name);
    return lower == "quillora.toml" || lower == ".git" || (lower.size() > 13 && lower.ends_with(".quillora-key")) ||
           IsLeftoverName(name);
}

bool IsLeftoverName(std::string_view name) {
    const std::string lower = lowered(name);
    if (endsInOneOf(lower, kLeftoverEndings))
        return true;
    if (lower.size() > 2 && lower.starts_with('#') && lower.ends_with('#'))
        return true; // an editor's autosave
    if (lower.starts_with(".#"))
        return true; // an editor's lock
    return lower.starts_with('.') && endsInOneOf(lower, kSwapEndings);
}

bool CarriesPageText(std::string_view name) {
    const std::string lower = lowered(name);
    return endsInOneOf(lower, kPageEndings) || endsInOneOf(lower, kTextEndings) || isOneOf(lower, kTextNames);
}

bool IsPickedPageName(std::string_view name) {
    const std::string lower = lowered(name);
    return lower.ends_with(".htm") || lower.ends_with(".html");
}

} // namespace quillora::run
