#include "CliProcess.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <grp.h>
#include <optional>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillora::cli::test {

namespace {

std::string readAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

// Only calls that are safe after fork in a process with threads: everything else is prepared before.
[[noreturn]] void startChild(const char* program, char* const* argv, int in, int out, int err,
                             const std::string& workFolder, int asUser) {
    if (in >= 0)
        ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (!workFolder.empty() && ::chdir(workFolder.c_str()) != 0)
        ::_exit(125);
    if (asUser >= 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(asUser)) != 0 ||
            ::setuid(static_cast<uid_t>(asUser)) != 0)
            ::_exit(126);
        // The sanitizers' leak check needs to trace the process, which a change of user forbids.
        ::prctl(PR_SET_DUMPABLE, 1);
    }
    ::execv(program, argv);
    ::_exit(127);
}

/// A copy of the program that another user can run: the build may lie in a folder only its owner enters (a home
/// folder of mode 700, as root's is on a fresh system).
class ReachableCopy {
public:
    ReachableCopy() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillora-cli-as-user-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no temporary folder for the program");
        m_folder = pattern;
        m_program = (m_folder / "quillora-cli").string();
        std::filesystem::copy_file(QUILLORA_CLI_PATH, m_program);
        std::filesystem::permissions(m_folder, std::filesystem::perms(0755));
        std::filesystem::permissions(m_program, std::filesystem::perms(0755));
    }
    ~ReachableCopy() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& program() const { return m_program; }

private:
    std::filesystem::path m_folder;
    std::string m_program;
};

} // namespace

CliOutcome CliProcess::run(const std::vector<std::string>& arguments, std::chrono::milliseconds bound,
                           const std::string& workFolder, int asUser) {
    return start(arguments, bound, workFolder, asUser, false);
}

CliOutcome CliProcess::runWithInput(const std::vector<std::string>& arguments, const std::string& input,
                                    std::chrono::milliseconds bound, const std::string& workFolder) {
    return start(arguments, bound, workFolder, -1, false, &input);
}

CliOutcome CliProcess::runAndKill(const std::vector<std::string>& arguments, std::chrono::microseconds after,
                                  const std::string& workFolder) {
    return start(arguments, after, workFolder, -1, true);
}

CliOutcome CliProcess::start(const std::vector<std::string>& arguments, std::chrono::microseconds bound,
                             const std::string& workFolder, int asUser, bool killOnPurpose, const std::string* input) {
    // Files rather than pipes: a program that prints a great deal never waits for the test to read.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr)
        throw std::runtime_error("no temporary file for the program's output");
    std::FILE* in = input != nullptr ? std::tmpfile() : nullptr;
    if (in != nullptr) {
        std::fwrite(input->data(), 1, input->size(), in);
        std::rewind(in);
    }
    std::optional<ReachableCopy> copy;
    if (asUser >= 0)
        copy.emplace();
    const std::string program = copy ? copy->program() : std::string(QUILLORA_CLI_PATH);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0)
        startChild(program.c_str(), argv.data(), in != nullptr ? ::fileno(in) : -1, ::fileno(out), ::fileno(err),
                   workFolder, asUser);
    if (child < 0)
        throw std::runtime_error("cannot start quillora-cli");

    CliOutcome outcome;
    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() - start > bound) {
            ::kill(child, SIGKILL);
            ::wait4(child, &status, 0, &usage);
            (killOnPurpose ? outcome.killed : outcome.timedOut) = true;
            break;
        }
        std::this_thread::sleep_for(killOnPurpose ? std::chrono::microseconds(100) : std::chrono::microseconds(5000));
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.peakKiB = usage.ru_maxrss;
    outcome.out = readAll(out);
    outcome.err = readAll(err);
    if (in != nullptr)
        std::fclose(in);
    return outcome;
}

} // namespace quillora::cli::test
