#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

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
    /// What a removal without a new content key leaves.
    static constexpr std::string_view kKeptContentKey =
        "Pages keep the content key: whoever unlocked with the removed password before can still read them with "
        "the key their browser kept or they copied; rotate with --rekey later";

    CommandLine(std::ostream& out, std::ostream& err, bool errIsTerminal);

    /// Where "-" reads its page (standard input unless set).
    void setInput(std::istream& in) { m_in = &in; }

    int run(int argc, const char* const* argv);
    /// The same for the program's own arguments: once they are read, a password among them is overwritten there,
    /// so that the process list shows it no longer.
    int run(int argc, char** argv);

private:
    int runWith(int argc, const char* const* argv, char** writable);
    int usage(const std::string& text, bool pointToHelp = true);
    /// The project file the request names or the place it runs in holds; false with a message when it is not good.
    bool findProject(const CommandLineRequest& request, std::optional<project::Project>& found, std::string& text);
    int protect(CommandLineRequest& request, const std::optional<project::Project>& found);
    int writeProject(const CommandLineRequest& request);
    /// Adds or removes a site's password, or changes its content key.
    int changeKey(CommandLineRequest& request);
    int protectStandardInput(const CommandLineRequest& request);

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream* m_in;
    bool m_errIsTerminal;
    std::vector<std::string> m_warnings; // about the options given, said once a run accepts them
};

} // namespace quillora::cli
