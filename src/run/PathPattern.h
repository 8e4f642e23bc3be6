#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::run {

/// One gitignore-style glob over paths relative to a site's root, "/" between the steps: "*" and "?" stay within a
/// step, "[a-z]" and "[!a-z]" are classes, "**" as a whole step spans any number of steps, "\" takes the next
/// character as it is. A pattern with a "/" before its end is anchored at the root; one without matches at any
/// depth. A trailing "/" matches folders only; a leading "!" makes the pattern take a path back out of its list.
class PathPattern {
public:
    /// The pattern, or nothing with what is wrong with it (and what to write instead) in error.
    static std::optional<PathPattern> compile(std::string_view text, std::string& error);

    /// True when the pattern matches the path itself (not a folder above it).
    bool matches(std::string_view path, bool isFolder) const;
    bool negated() const { return m_negated; }
    const std::string& text() const { return m_text; }

private:
    /// One step of the pattern: "**", or a glob over one name.
    struct Step {
        bool anySteps = false;
        std::string glob; // escapes kept, so that a matched "\*" is a star
    };

    bool matchSteps(std::size_t step, const std::vector<std::string_view>& names, std::size_t name) const;

    std::string m_text;
    std::vector<Step> m_steps;
    bool m_negated = false;
    bool m_foldersOnly = false;
};

/// An ordered list of patterns, read as a .gitignore is read: the last pattern that matches a path decides, and a
/// path below a matched folder is matched whatever comes later (a folder left out is not looked into).
class PathPatternList {
public:
    /// Adds a pattern; false with the reason in error when it is not a valid one.
    bool add(std::string_view text, std::string& error);
    /// True when the list matches the path (relative to the root, "/" between its steps) or a folder above it.
    bool matches(std::string_view path, bool isFolder) const;
    bool empty() const { return m_patterns.empty(); }
    const std::vector<PathPattern>& patterns() const { return m_patterns; }

private:
    bool decides(std::string_view path, bool isFolder) const;

    std::vector<PathPattern> m_patterns;
};

} // namespace quillora::run
