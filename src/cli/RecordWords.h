#pragma once

#include "run/RunReporter.h"

#include <string>
#include <string_view>

namespace quillora::cli {

/// The words the command line's reports use for a file's record: the action's name, a rule's choices, one line.
class RecordWords {
public:
    /// "protected", "left-alone", ... (the JSON report's names).
    static std::string_view actionName(run::PageRecord::Action action);
    /// What a rule gives its pages: "body, no-right-click, encrypted", or "left as it is".
    static std::string choices(const run::PageRule& rule);
    /// One line for a record: "would protect site/a.html -> public/a.html: body (rule 2 at quillora.toml:9)".
    static std::string line(const run::PageRecord& record);
    /// A problem in one line, as messages about files read.
    static std::string problem(const run::PageProblem& problem);
};

} // namespace quillora::cli
