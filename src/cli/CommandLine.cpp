#include "CommandLine.h"

#include "CommandLineOptions.h"
#include "ConsoleReporter.h"
#include "JsonReport.h"
#include "ProjectInit.h"
#include "TeeReporter.h"
#include "crypto/SecretMemory.h"
#include "disk/PosixFileSystem.h"
#include "project/ProjectFile.h"
#include "run/DecryptRun.h"
#include "run/FileHelpers.h"
#include "run/KeyChangeRun.h"
#include "run/ProtectionRun.h"
#include "run/RestoreRun.h"
#include "run/RunMessages.h"
#include "run/SinglePage.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

namespace quillora::cli {

namespace {

namespace fs = std::filesystem;

bool isInside(const std::string& path, const std::string& root) {
    std::string folder = root;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string inner = path;
    while (inner.size() > 1 && inner.back() == '/')
        inner.pop_back();
    return inner == folder || inner.starts_with(folder == "/" ? folder : folder + '/');
}

std::string readAll(std::istream& in) {
    std::string bytes;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

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
    : m_out(out), m_err(err), m_in(&std::cin), m_errIsTerminal(errIsTerminal) {}

int CommandLine::usage(const std::string& text, bool pointToHelp) {
    ConsoleReporter(m_out, m_err, false, false).printLines(text);
    if (pointToHelp)
        m_err << ConsoleReporter::kPrefix << "Run with --help for more information.\n";
    return kExitUsage;
}

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
        return usage(text);
    case CommandLineOptions::Parsed::Request:
        break;
    }
    if (writable != nullptr)
        hidePasswords(argc, writable);
    CommandLineRequest request = options.request();
    options.forgetPassword();
    m_warnings = options.warnings();
    if (request.init)
        return writeProject(request);
    if (request.changeKey)
        return changeKey(request);
    if (request.standardInput)
        return protectStandardInput(request);
    std::optional<project::Project> found;
    if (!findProject(request, found, text))
        return usage(text, false);
    return protect(request, found);
}

bool CommandLine::findProject(const CommandLineRequest& request, std::optional<project::Project>& found,
                              std::string& text) {
    std::string file = request.configFile;
    if (file.empty() && !request.noConfig && !request.restore) {
        // A site named alone, or the working folder when none is named, may describe itself.
        std::error_code error;
        if (request.selection.size() == 1 && request.selection[0].isFolder) {
            const fs::path candidate = fs::path(request.selection[0].path) / run::kProjectFileName;
            if (fs::is_regular_file(candidate, error))
                file = ProjectInit::shortPath(candidate.lexically_normal());
        } else if (request.selection.empty() && fs::is_regular_file(run::kProjectFileName, error)) {
            file = std::string(run::kProjectFileName);
        }
    }
    if (file.empty())
        return true;
    project::Project project;
    if (!project::ProjectFile::read(file, project, text))
        return false;
    for (const auto& picked : request.selection) {
        if (!isInside(picked.path, project.root)) {
            text = picked.path + " is outside the site of " + file + " (" + project.root +
                   "): name paths below it, or give --no-config";
            return false;
        }
    }
    found = std::move(project);
    return true;
}

int CommandLine::protect(CommandLineRequest& request, const std::optional<project::Project>& found) {
    if (request.selection.empty()) {
        if (!found)
            return usage(
                "PATH is required\nName a page or a folder, run where a quillora.toml is, or give --config FILE");
        request.selection.push_back({found->root, true});
    }
    run::RuleSet rules(request.options);
    if (found && !request.restore && !request.decrypt) {
        std::string text;
        if (!project::buildRules(*found, request.overrides, rules, text))
            return usage(text, false);
    }

    ConsoleReporter console(m_out, m_err, m_errIsTerminal, request.quiet, request.print0 ? '\0' : '\n');
    console.setRestoring(request.restore || request.decrypt);
    console.setDecrypting(request.decrypt);
    console.setWarnings(m_warnings);
    console.setVerbose(request.verbose);
    console.setDryRun(request.dryRun);
    console.setPathsShown(!request.json);
    JsonReport json(rules, request.dryRun, found ? found->file : std::string());
    TeeReporter both(console, json);
    run::RunReporter& reporter = request.json ? static_cast<run::RunReporter&>(both) : console;
    if (found && !request.quiet)
        console.printLines("Reading the project file " + found->file);

    disk::PosixFileSystem fileSystem;
    run::RunSummary summary;
    if (request.decrypt) {
        run::DecryptRun decrypting(reporter, fileSystem, request.options.password, request.decryptTo);
        crypto::wipe(request.options.password);
        decrypting.setLockWait(request.lockWait);
        summary = decrypting.Decrypt(request.selection);
    } else if (request.restore) {
        run::RestoreRun restoring(reporter, fileSystem, request.backupFolder);
        restoring.setLockWait(request.lockWait);
        summary = restoring.Restore(request.selection);
    } else {
        run::ProtectionRun protection(std::move(rules), reporter, fileSystem);
        protection.forgetPassword(request.options.password);
        protection.setLockWait(request.lockWait);
        protection.setDryRun(request.dryRun);
        protection.setIncremental(found.has_value()); // copies described by a project file are kept up to date
        summary = protection.ProtectFiles(request.selection);
    }
    console.finish();
    int status = kExitUsage;
    if (summary.outcome == run::RunSummary::Outcome::Ran) {
        // Written or already protected is done; a page given up or skipped is not.
        status = summary.allDone() ? kExitAllWritten : kExitPageGivenUp;
        if (request.failIfEmpty && summary.found == 0)
            status = kExitPageGivenUp;
    }
    if (request.json)
        json.write(m_out, status);
    return status;
}

int CommandLine::changeKey(CommandLineRequest& request) {
    if (request.selection.empty())
        return usage("PATH is required\nName the folders of the site whose passwords or key change");
    ConsoleReporter console(m_out, m_err, m_errIsTerminal, request.quiet, request.print0 ? '\0' : '\n');
    console.setWarnings(m_warnings);
    disk::PosixFileSystem fileSystem;
    const bool keepsKey = !request.keyChange.removeSlot.empty() && !request.keyChange.rotate;
    const run::KeyChangeSummary summary =
        run::KeyChangeRun(console, fileSystem).change(request.selection, request.keyChange);
    console.finish();
    switch (summary.outcome) {
    case run::KeyChangeSummary::Outcome::Refused:
        return kExitUsage;
    case run::KeyChangeSummary::Outcome::Incomplete:
        console.printLines(run::messages::keyChangeIncomplete(summary));
        return kExitPageGivenUp;
    case run::KeyChangeSummary::Outcome::Done:
        break;
    }
    if (!request.quiet)
        console.printLines(run::messages::keyChanged(summary));
    if (keepsKey)
        console.printLines(std::string(kKeptContentKey));
    if (!request.shareLink.empty()) {
        console.printLines("Anyone holding this link can read the site's pages, until its password is removed "
                           "(--remove-password \"" +
                           request.shareLabel + "\"):");
        m_out << request.shareLink << '\n';
        crypto::wipe(request.shareLink);
    }
    // A page left under another key may still open with what the change meant to take away.
    return summary.otherKey > 0 ? kExitPageGivenUp : kExitAllWritten;
}

int CommandLine::writeProject(const CommandLineRequest& request) {
    std::string file;
    std::string text;
    if (!ProjectInit::destination(request, file, text) || !ProjectInit::write(request, file, text))
        return usage(text, false);
    m_out << file << '\n';
    return kExitAllWritten;
}

int CommandLine::protectStandardInput(const CommandLineRequest& request) {
    ConsoleReporter console(m_out, m_err, false, request.quiet);
    if (const auto refusal = run::ProtectionRun::checkPageChoices(request.options)) {
        console.runRefused(*refusal);
        return kExitUsage;
    }
    const std::string page = readAll(*m_in);
    std::string out;
    std::error_code error;
    switch (run::SinglePage::protect(request.options, page, out, error)) {
    case run::SinglePage::Outcome::Failed:
        console.pageGivenUp({"-", {}}, {run::PageProblem::Step::Read, error, "-"});
        return kExitPageGivenUp;
    case run::SinglePage::Outcome::AlreadyProtected:
        console.printLines("-: already protected; written as it came");
        break;
    case run::SinglePage::Outcome::Frameset:
        console.printLines("-: a frameset is written as it is; protect its frame pages as files");
        break;
    case run::SinglePage::Outcome::Protected:
        break;
    }
    m_out.write(out.data(), static_cast<std::streamsize>(out.size()));
    m_out.flush();
    return m_out ? kExitAllWritten : kExitPageGivenUp;
}

} // namespace quillora::cli
