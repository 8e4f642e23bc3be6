#include "CommandLine.h"

#include "CommandLineOptions.h"
#include "ConsoleReporter.h"
#include "run/PosixFileSystem.h"
#include "run/ProtectionRun.h"

#include <CLI/CLI.hpp>

namespace quillora::cli {

CommandLine::CommandLine(std::ostream& out, std::ostream& err, bool errIsTerminal)
    : m_out(out), m_err(err), m_errIsTerminal(errIsTerminal) {}

int CommandLine::run(int argc, const char* const* argv) {
    CommandLineOptions options;
    try {
        options.app().parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        m_out << options.app().help();
        return kExitAllWritten;
    } catch (const CLI::CallForVersion&) {
        m_out << options.app().version() << '\n';
        return kExitAllWritten;
    } catch (const CLI::ParseError& error) {
        m_err << ConsoleReporter::kPrefix << error.what() << '\n'
              << ConsoleReporter::kPrefix << "Run with --help for more information.\n";
        return kExitUsage;
    }

    const CommandLineRequest request = options.request();
    ConsoleReporter reporter(m_out, m_err, m_errIsTerminal, request.quiet);
    run::PosixFileSystem fileSystem;
    run::ProtectionRun protection(request.options, reporter, fileSystem);
    const run::RunSummary summary = protection.ProtectFiles(request.selection);
    reporter.finish();
    if (summary.outcome != run::RunSummary::Outcome::Ran)
        return kExitUsage;
    return summary.givenUp > 0 ? kExitPageGivenUp : kExitAllWritten;
}

} // namespace quillora::cli
