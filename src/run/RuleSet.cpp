#include "RuleSet.h"

#include "crypto/SecretMemory.h"
#include "disk/Paths.h"

namespace quillora::run {

RuleSet::RuleSet(const engine::ProtectionOptions& defaults) {
    PageRule own;
    own.options = defaults;
    m_rules.push_back(std::move(own));
}

void RuleSet::setRoot(const std::string& root) {
    m_root = root;
    while (m_root.size() > 1 && m_root.back() == disk::kPathSeparator)
        m_root.pop_back();
}

void RuleSet::addRule(PathPatternList paths, PageRule rule) {
    rule.index = m_rules.size();
    m_rules.push_back(std::move(rule));
    m_matches.push_back(std::move(paths));
}

std::optional<std::string> RuleSet::relativePath(const std::string& path) const {
    if (m_root.empty())
        return std::nullopt;
    const bool rootIsTop = m_root.size() == 1 && m_root.front() == disk::kPathSeparator;
    const std::size_t skip = rootIsTop ? 1 : m_root.size() + 1;
    if (path.size() <= skip || !path.starts_with(m_root) || (!rootIsTop && path[m_root.size()] != disk::kPathSeparator))
        return std::nullopt;
    std::string relative = path.substr(skip);
    if (disk::kPathSeparator != '/') {
        for (char& c : relative)
            c = c == disk::kPathSeparator ? '/' : c;
    }
    return relative;
}

const PageRule& RuleSet::ruleFor(const std::string& path) const {
    if (m_matches.empty())
        return m_rules.front();
    const auto relative = relativePath(path);
    if (!relative)
        return m_rules.front();
    // The last rule that matches wins.
    for (std::size_t i = m_matches.size(); i-- > 0;) {
        if (m_matches[i].matches(*relative, false))
            return m_rules[i + 1];
    }
    return m_rules.front();
}

bool RuleSet::isExcluded(const std::string& path, bool isFolder) const {
    if (m_excluded.empty())
        return false;
    const auto relative = relativePath(path);
    return relative && m_excluded.matches(*relative, isFolder);
}

bool RuleSet::anyEncrypts() const {
    for (const auto& rule : m_rules) {
        if (!rule.leavesAlone() && rule.options.encrypt)
            return true;
    }
    return false;
}

void RuleSet::forgetEncryptionPasswords() {
    for (auto& rule : m_rules) {
        if (rule.options.encrypt)
            crypto::wipe(rule.options.password);
    }
}

} // namespace quillora::run
