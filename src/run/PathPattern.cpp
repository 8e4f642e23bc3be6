#include "PathPattern.h"

#include <algorithm>

namespace quillora::run {

namespace {

std::string inQuotes(std::string_view text) {
    return '"' + std::string(text) + '"';
}

std::vector<std::string_view> splitSteps(std::string_view path) {
    std::vector<std::string_view> steps;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        steps.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return steps;
}

/// The end of the class that opens at glob[open] (the position of its "]"), or npos when it is never closed.
std::size_t classEnd(std::string_view glob, std::size_t open) {
    std::size_t i = open + 1;
    if (i < glob.size() && (glob[i] == '!' || glob[i] == '^'))
        ++i;
    if (i < glob.size() && glob[i] == ']')
        ++i; // a "]" first is one of the class's characters
    for (; i < glob.size(); ++i) {
        if (glob[i] == '\\')
            ++i;
        else if (glob[i] == ']')
            return i;
    }
    return std::string_view::npos;
}

/// True when c is in the class glob[open..close] ("[" and "]" included).
bool inClass(std::string_view glob, std::size_t open, std::size_t close, char c) {
    std::size_t i = open + 1;
    const bool negated = glob[i] == '!' || glob[i] == '^';
    if (negated)
        ++i;
    bool found = false;
    for (bool first = true; i < close; first = false) {
        char low = glob[i];
        if (low == '\\')
            low = glob[++i];
        else if (low == ']' && !first)
            break;
        ++i;
        char high = low;
        if (i + 1 < close && glob[i] == '-') {
            high = glob[i + 1] == '\\' ? glob[i + 2] : glob[i + 1];
            i += glob[i + 1] == '\\' ? 3 : 2;
        }
        found = found || (c >= low && c <= high);
    }
    return found != negated;
}

/// A glob over one name: "*", "?", classes and escapes.
bool matchName(std::string_view glob, std::string_view name) {
    std::size_t g = 0;
    std::size_t n = 0;
    std::size_t starGlob = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (g < glob.size() && glob[g] == '*') {
            starGlob = ++g;
            starName = n;
            continue;
        }
        if (g < glob.size()) {
            bool one = false;
            std::size_t next = g + 1;
            if (glob[g] == '?') {
                one = true;
            } else if (glob[g] == '[') {
                const std::size_t close = classEnd(glob, g);
                one = inClass(glob, g, close, name[n]);
                next = close + 1;
            } else if (glob[g] == '\\' && g + 1 < glob.size()) {
                one = glob[g + 1] == name[n];
                next = g + 2;
            } else {
                one = glob[g] == name[n];
            }
            if (one) {
                g = next;
                ++n;
                continue;
            }
        }
        if (starGlob == std::string_view::npos)
            return false;
        g = starGlob; // the last star takes one more character
        n = ++starName;
    }
    while (g < glob.size() && glob[g] == '*')
        ++g;
    return g == glob.size();
}

/// What is wrong with one step of a pattern, or nothing.
std::string stepProblem(std::string_view step, std::string_view text) {
    if (step.empty())
        return inQuotes(text) + " has an empty step (\"//\"): write one \"/\"";
    if (step == "." || step == "..")
        return inQuotes(text) + " has a \"" + std::string(step) +
               "\" step: patterns are relative to the site's root, write the path without it";
    if (step != "**" && step.find("**") != std::string_view::npos)
        return inQuotes(text) +
               " has \"**\" inside a name: write \"**\" as a whole step (\"a/**/b\") or \"*\" within a name";
    for (std::size_t i = 0; i < step.size(); ++i) {
        if (step[i] == '\\') {
            ++i;
        } else if (step[i] == '[') {
            const std::size_t close = classEnd(step, i);
            if (close == std::string_view::npos)
                return inQuotes(text) + " opens a class with \"[\" that is never closed: close it with \"]\", or write "
                                        "\"\\[\" to match a \"[\"";
            i = close;
        }
    }
    return {};
}

/// The pattern without its unescaped trailing blanks, as a .gitignore reads it.
std::string_view withoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        std::size_t slashes = 0;
        while (slashes + 1 < text.size() && text[text.size() - 2 - slashes] == '\\')
            ++slashes;
        if (slashes % 2 == 1)
            break;
        text.remove_suffix(1);
    }
    return text;
}

bool endsInLoneBackslash(std::string_view text) {
    std::size_t slashes = 0;
    while (slashes < text.size() && text[text.size() - 1 - slashes] == '\\')
        ++slashes;
    return slashes % 2 == 1;
}

} // namespace

std::optional<PathPattern> PathPattern::compile(std::string_view text, std::string& error) {
    PathPattern pattern;
    pattern.m_text = std::string(text);
    std::string_view rest = withoutTrailingBlanks(text);
    if (rest.starts_with('!')) {
        pattern.m_negated = true;
        rest.remove_prefix(1);
    }
    if (endsInLoneBackslash(rest)) {
        error = inQuotes(text) + " ends in a lone \"\\\": remove it, or write \"\\\\\" to match a \"\\\"";
        return std::nullopt;
    }
    if (rest.ends_with('/')) {
        pattern.m_foldersOnly = true;
        rest.remove_suffix(1);
    }
    const bool anchored = rest.find('/') != std::string_view::npos;
    if (rest.starts_with('/'))
        rest.remove_prefix(1);
    if (rest.empty()) {
        error = inQuotes(text) + " names no path: write \"**\" for every path, or remove it";
        return std::nullopt;
    }
    if (!anchored)
        pattern.m_steps.push_back({true, {}});
    for (const std::string_view step : splitSteps(rest)) {
        if (std::string problem = stepProblem(step, text); !problem.empty()) {
            error = std::move(problem);
            return std::nullopt;
        }
        pattern.m_steps.push_back({step == "**", step == "**" ? std::string() : std::string(step)});
    }
    return pattern;
}

bool PathPattern::matches(std::string_view path, bool isFolder) const {
    if (m_foldersOnly && !isFolder)
        return false;
    return matchSteps(0, splitSteps(path), 0);
}

bool PathPattern::matchSteps(std::size_t step, const std::vector<std::string_view>& names, std::size_t name) const {
    if (step == m_steps.size())
        return name == names.size();
    if (m_steps[step].anySteps) {
        // A trailing "**" stands for what is inside a folder, at least one name; elsewhere it may span none.
        const bool last = step + 1 == m_steps.size();
        for (std::size_t skip = last ? 1 : 0; name + skip <= names.size(); ++skip) {
            if (matchSteps(step + 1, names, name + skip))
                return true;
        }
        return false;
    }
    return name < names.size() && matchName(m_steps[step].glob, names[name]) && matchSteps(step + 1, names, name + 1);
}

bool PathPatternList::add(std::string_view text, std::string& error) {
    auto pattern = PathPattern::compile(text, error);
    if (!pattern)
        return false;
    m_patterns.push_back(std::move(*pattern));
    return true;
}

bool PathPatternList::decides(std::string_view path, bool isFolder) const {
    // The last pattern that matches decides.
    const auto last = std::find_if(m_patterns.rbegin(), m_patterns.rend(),
                                   [&](const PathPattern& pattern) { return pattern.matches(path, isFolder); });
    return last != m_patterns.rend() && !last->negated();
}

bool PathPatternList::matches(std::string_view path, bool isFolder) const {
    if (m_patterns.empty())
        return false;
    for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
        if (decides(path.substr(0, slash), true))
            return true;
    }
    return decides(path, isFolder);
}

} // namespace quillora::run
