#include "CommandLine.h"

#include "CommandLineOptions.h"
#include "ConsoleReporter.h"
#include "disk/PosixFileSystem.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace quillora::cli {

namespace {

/// Overwrites the value of every --password among the arguments.
void hidePasswords(int argc, char** argv) {
    constexpr std::string_view kOption = "--password";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            return;
        char* value = nullptr;
        if (argument == kOption && i + 1 < argc)
            value = argv[++i];
        else if (argument.starts_with(kOption) && argument.size() > kOption.size() && argument[kOption.size()] == '=')
            value = argv[i] + kOption.size() + 1;
        if (value != nullptr)
            std::fill(value, value + std::strlen(value), 'x');
    }
}

} // namespace

CommandLine::CommandLine(std::ostream& out, std::ostream& err, bool errIsTerminal)
    : m_out(out), m_err(err), m_errIsTerminal(errIsTerminal) {}

namespace {

run::RunSummary restore(const CommandLineRequest& request, run::RunReporter& reporter, disk::FileSystem& fileSystem) {
    run::RestoreRun restoring(reporter, fileSystem, request.backupFolder);
    restoring.setLockWait(request.lockWait);
    return restoring.Restore(request.selection);
}

run::RunSummary protect(CommandLineRequest& request, run::RunReporter& reporter, disk::FileSystem& fileSystem) {
    run::ProtectionRun protecting(request.options, reporter, fileSystem);
    protecting.forgetPassword(request.options.password);
    protecting.setLockWait(request.lockWait);
    return protecting.ProtectFiles(request.selection);
}

} // namespace

int CommandLine::run(int argc, const char* const* argv) {
    return runWith(argc, argv, nullptr);
}

int CommandLine::run(int argc, char** argv) {
    return runWith(argc, argv, argv);
}

int CommandLine::runWith(int argc, const char* const* argv, char** writable) {
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
    if (writable != nullptr)
        hidePasswords(argc, writable);
    CommandLineRequest request = options.request();
    options.forgetPassword();
    ConsoleReporter reporter(m_out, m_err, m_errIsTerminal, request.quiet, request.print0 ? '\0' : '\n');
    reporter.setRestoring(request.restore);
    reporter.setWarnings(options.warnings());
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
