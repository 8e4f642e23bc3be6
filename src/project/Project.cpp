#include "Project.h"

#include <algorithm>
#include <vector>

namespace quillora::project {

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

const std::array<std::string_view, engine::kScriptCount>& scriptNames() {
    static const std::array<std::string_view, engine::kScriptCount> names = [] {
        std::array<std::string_view, engine::kScriptCount> named{};
        named[engine::kScriptRightClick] = "no-right-click";
        named[engine::kScriptTextSelection] = "no-select";
        named[engine::kScriptStatusBar] = "no-status-urls";
        named[engine::kScriptPrinting] = "no-print";
        named[engine::kScriptClipboard] = "no-clipboard";
        named[engine::kScriptDragDrop] = "no-drag";
        named[engine::kScriptBreakFrames] = "break-frames";
        named[engine::kScriptImageToolbar] = "no-image-toolbar";
        named[engine::kScriptShortcuts] = "no-shortcuts";
        named[engine::kScriptCopyAttribution] = "copy-attribution";
        return named;
    }();
    return names;
}

const std::array<std::string_view, 5>& hideNames() {
    static const std::array<std::string_view, 5> names = {"email-links", "links", "body", "page", "none"};
    return names;
}

const std::array<std::string_view, 3>& modeNames() {
    static const std::array<std::string_view, 3> names = {"overwrite", "copy", "beside"};
    return names;
}

int Project::firstEncryptingLine() const {
    if (pages.encrypt.value_or(false) || pages.level)
        return pages.encryptLine;
    for (const auto& rule : rules) {
        if (!rule.leaveAlone && (rule.encrypt.value_or(false) || rule.level))
            return rule.encryptLine;
    }
    return 0;
}

bool Project::hasRulesBeyondOneSet() const {
    return !rules.empty() || !exclude.empty() || pages.level || pages.hide == engine::EncryptionMode::None ||
           !password.file.empty() || !password.variable.empty();
}

} // namespace quillora::project
