#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quillora::run {

/// The script-src policy that lets a page's scripts run and nothing else: the site's own files ('self'), the
/// hosts of external scripts named by an absolute address, and the hash of each inline script, those its writer
/// calls write included. Without 'unsafe-inline' and 'unsafe-eval': eval, string timers and inline event handlers
/// are refused.
class ScriptPolicy {
public:
    /// Adds what the page's scripts need.
    void addPage(std::u16string_view page);
    /// Adds the hash of one inline script's text (as the browser reads it).
    void addScript(std::u16string_view text);
    /// Adds what another policy allows.
    void add(const ScriptPolicy& other);
    /// Adds the hash of the unlock page's script: the policy of an unlock page is its page's and this (the
    /// document keeps the unlock page's policy when the page replaces it).
    void addUnlockScript();

    /// True when every script of the page is allowed: a page whose scripts do not match its policy is blank or
    /// broken in a browser.
    bool allows(std::u16string_view page) const;

    /// The policy's text: "script-src 'self' ..." (ASCII).
    std::string text() const;
    /// The META tag that carries it in a page's head.
    std::string metaTag() const;

    /// The hash source of a script's text: "'sha256-" and its base64 digest of the UTF-8 text, then "'".
    static std::string hashOf(std::u16string_view text);
    /// The source that allows an external script's address, or empty when 'self' does (a relative address).
    static std::string sourceOf(std::u16string_view address);

private:
    void addSource(std::string source);

    std::vector<std::string> m_sources; // in the order first met
    std::unordered_set<std::string> m_known;
};

} // namespace quillora::run
