#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace quillora::project {
struct Project;
}

namespace quillora::cli {

struct CommandLineRequest;

/// quillora-cli as a whole: parses the arguments, runs the protection and gives the exit status.
class CommandLine {
public:
    static constexpr int kExitAllWritten = 0;
    static constexpr int kExitPageGivenUp = 1;
    static constexpr int kExitUsage = 2;

    CommandLine(std::ostream& out, std::ostream& err, bool errIsTerminal);

    /// Where "-" reads its page (standard input unless set).
    void setInput(std::istream& in) { m_in = &in; }

    int run(int argc, const char* const* argv);

private:
    int usage(const std::string& text, bool pointToHelp = true);
    /// The project file the request names or the place it runs in holds; false with a message when it is not good.
    bool findProject(const CommandLineRequest& request, std::optional<project::Project>& found, std::string& text);
    int protect(CommandLineRequest& request, const std::optional<project::Project>& found);
    int writeProject(const CommandLineRequest& request);
    int protectStandardInput(const CommandLineRequest& request);

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream* m_in;
    bool m_errIsTerminal;
};

} // namespace quillora::cli
