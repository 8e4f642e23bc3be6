#pragma once

#include <ostream>

namespace quillora::cli {

/// quillora-cli as a whole: parses the arguments, runs the protection and gives the exit status.
class CommandLine {
public:
    static constexpr int kExitAllWritten = 0;
    static constexpr int kExitPageGivenUp = 1;
    static constexpr int kExitUsage = 2;

    CommandLine(std::ostream& out, std::ostream& err, bool errIsTerminal);

    int run(int argc, const char* const* argv);
    /// The same for the program's own arguments: once they are read, a password among them is overwritten there,
    /// so that the process list shows it no longer.
    int run(int argc, char** argv);

private:
    int runWith(int argc, const char* const* argv, char** writable);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_errIsTerminal;
};

} // namespace quillora::cli
