#include "CommandLine.h"

#include "CommandLineOptions.h"
#include "ConsoleReporter.h"
#include "disk/PosixFileSystem.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"

#include <string>

namespace quillora::cli {

CommandLine::CommandLine(std::ostream& out, std::ostream& err, bool errIsTerminal)
    : m_out(out), m_err(err), m_errIsTerminal(errIsTerminal) {}

namespace {

run::RunSummary restore(const CommandLineRequest& request, run::RunReporter& reporter, disk::FileSystem& fileSystem) {
    run::RestoreRun restoring(reporter, fileSystem);
    restoring.setLockWait(request.lockWait);
    return restoring.Restore(request.selection);
}

run::RunSummary protect(const CommandLineRequest& request, run::RunReporter& reporter, disk::FileSystem& fileSystem) {
    run::ProtectionRun protecting(request.options, reporter, fileSystem);
    protecting.setLockWait(request.lockWait);
    return protecting.ProtectFiles(request.selection);
}

} // namespace

int CommandLine::run(int argc, const char* const* argv) {
    CommandLineOptions options;
    std::string text;
    switch (options.parse(argc, argv, text)) {
    case CommandLineOptions::Parsed::Help:
    case CommandLineOptions::Parsed::Version:
        m_out << text;
        return kExitAllWritten;
    case CommandLineOptions::Parsed::Error:
        m_err << ConsoleReporter::kPrefix << text << '\n'
              << ConsoleReporter::kPrefix << "Run with --help for more information.\n";
        return kExitUsage;
    case CommandLineOptions::Parsed::Request:
        break;
    }

    const CommandLineRequest request = options.request();
    ConsoleReporter reporter(m_out, m_err, m_errIsTerminal, request.quiet, request.print0 ? '\0' : '\n');
    reporter.setRestoring(request.restore);
    disk::PosixFileSystem fileSystem;
    const run::RunSummary summary =
        request.restore ? restore(request, reporter, fileSystem) : protect(request, reporter, fileSystem);
    reporter.finish();
    if (summary.outcome != run::RunSummary::Outcome::Ran)
        return kExitUsage;
    // Written or already protected is done; a page given up or skipped is not.
    return summary.allDone() ? kExitAllWritten : kExitPageGivenUp;
}

} // namespace quillora::cli
