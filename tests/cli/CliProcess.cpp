#include "CliProcess.h"

#include <csignal>
#include <cstdio>
#include <grp.h>
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

[[noreturn]] void startChild(const std::vector<std::string>& arguments, int out, int err, const std::string& workFolder,
                             int asUser) {
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
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUILLORA_CLI_PATH));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(QUILLORA_CLI_PATH, argv.data());
    ::_exit(127);
}

} // namespace

CliOutcome CliProcess::run(const std::vector<std::string>& arguments, std::chrono::milliseconds bound,
                           const std::string& workFolder, int asUser) {
    // Files rather than pipes: a program that prints a great deal never waits for the test to read.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr)
        throw std::runtime_error("no temporary file for the program's output");
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0)
        startChild(arguments, ::fileno(out), ::fileno(err), workFolder, asUser);
    if (child < 0)
        throw std::runtime_error("cannot start quillora-cli");

    CliOutcome outcome;
    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() - start > bound) {
            ::kill(child, SIGKILL);
            ::wait4(child, &status, 0, &usage);
            outcome.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.peakKiB = usage.ru_maxrss;
    outcome.out = readAll(out);
    outcome.err = readAll(err);
    return outcome;
}

} // namespace quillora::cli::test
