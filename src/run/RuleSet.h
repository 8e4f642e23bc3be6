#pragma once

#include "PathPattern.h"
#include "engine/ProtectionOptions.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillora::run {

/// What one rule gives the pages it matches.
struct PageRule {
    enum class Action { Protect, LeaveAlone };
    Action action = Action::Protect;
    engine::ProtectionOptions options; // Protect: the page's choices (the run's storage choices too)
    std::size_t index = 0;             // 0: the run's own choices; 1 and up: the rules in their order
    std::string name;                  // how reports name it ("rule 2 (quillora.toml:14)"); empty for index 0

    bool leavesAlone() const { return action == Action::LeaveAlone; }
};

/// The choices of a run, page by page: an ordered list of rules over paths relative to a site's root, the last
/// matching one deciding, and the paths the run leaves out entirely. Without rules every page gets the run's own
/// choices, and nothing is left out.
class RuleSet {
public:
    explicit RuleSet(const engine::ProtectionOptions& defaults);

    /// The folder the patterns are relative to (a native path); a page outside it gets the run's own choices.
    void setRoot(const std::string& root);
    /// Adds a rule after the others; its index and the patterns it matches are set here.
    void addRule(PathPatternList paths, PageRule rule);
    /// How reports name the run's own choices (rule 0).
    void setDefaultsName(std::string name) { m_rules.front().name = std::move(name); }
    /// The paths left out of the run: never read, never copied.
    void setExcluded(PathPatternList excluded) { m_excluded = std::move(excluded); }

    /// The rule for the page at path (a native path).
    const PageRule& ruleFor(const std::string& path) const;
    /// True when the file or folder at path is left out of the run.
    bool isExcluded(const std::string& path, bool isFolder) const;
    /// The path below the root, "/" between its steps; nothing for a path outside the root.
    std::optional<std::string> relativePath(const std::string& path) const;

    const std::string& root() const { return m_root; }
    const std::vector<PageRule>& rules() const { return m_rules; }
    /// The run's own choices (rule 0).
    const engine::ProtectionOptions& defaults() const { return m_rules.front().options; }
    /// True when some page may be encrypted.
    bool anyEncrypts() const;
    /// Wipes the password of every rule that encrypts: once the run's key is derived, no page needs it.
    void forgetEncryptionPasswords();

private:
    std::string m_root;
    std::vector<PageRule> m_rules;          // [0]: the run's own choices
    std::vector<PathPatternList> m_matches; // [i]: the patterns of m_rules[i + 1]
    PathPatternList m_excluded;
};

} // namespace quillora::run
