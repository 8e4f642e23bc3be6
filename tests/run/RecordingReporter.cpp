#include "RecordingReporter.h"

namespace quillora::run::test {

std::vector<messages::Message> RecordingReporter::messages() const {
    std::vector<messages::Message> shown;
    for (const auto& problem : problems)
        shown.push_back(messages::pageProblem(problem.problem));
    return shown;
}

} // namespace quillora::run::test
