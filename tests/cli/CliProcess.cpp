#include "CliProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
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
                             const std::string& workFolder, int asUser, long openFiles) {
    if (in >= 0)
        ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (openFiles > 0) {
        const rlimit limit{static_cast<rlim_t>(openFiles), static_cast<rlim_t>(openFiles)};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            ::_exit(124);
    }
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

std::vector<char*> argumentsOf(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

std::string readFrom(int fd, off_t at) {
    std::string text;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::pread(fd, buffer, sizeof buffer, at)) > 0; at += n)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

} // namespace

CliOutcome CliProcess::run(const std::vector<std::string>& arguments, std::chrono::milliseconds bound,
                           const std::string& workFolder, int asUser, long openFiles) {
    return start(arguments, bound, workFolder, asUser, false, openFiles);
}

CliOutcome CliProcess::runWithInput(const std::vector<std::string>& arguments, const std::string& input,
                                    std::chrono::milliseconds bound, const std::string& workFolder) {
    return start(arguments, bound, workFolder, -1, false, 0, &input);
}

CliOutcome CliProcess::runAndKill(const std::vector<std::string>& arguments, std::chrono::microseconds after,
                                  const std::string& workFolder) {
    return start(arguments, after, workFolder, -1, true, 0);
}

CliOutcome CliProcess::start(const std::vector<std::string>& arguments, std::chrono::microseconds bound,
                             const std::string& workFolder, int asUser, bool killOnPurpose, long openFiles,
                             const std::string* input) {
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
    std::vector<char*> argv = argumentsOf(program, arguments);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0)
        startChild(program.c_str(), argv.data(), in != nullptr ? ::fileno(in) : -1, ::fileno(out), ::fileno(err),
                   workFolder, asUser, openFiles);
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

namespace quillora::cli::test {

CliSession::CliSession(const std::vector<std::string>& arguments, const std::string& workFolder) {
    int pipe[2];
    m_err = std::tmpfile();
    if (::pipe2(pipe, O_CLOEXEC) != 0 || m_err == nullptr)
        throw std::runtime_error("no pipe for the program's output");
    // The smallest pipe there is: a few paths fill it.
    ::fcntl(pipe[1], F_SETPIPE_SZ, static_cast<int>(::sysconf(_SC_PAGESIZE)));
    const std::string program = QUILLORA_CLI_PATH;
    std::vector<char*> argv = argumentsOf(program, arguments);
    m_pid = ::fork();
    if (m_pid == 0)
        startChild(program.c_str(), argv.data(), -1, pipe[1], ::fileno(m_err), workFolder, -1, 0);
    ::close(pipe[1]);
    m_out = pipe[0];
    if (m_pid < 0)
        throw std::runtime_error("cannot start quillora-cli");
}

CliSession::~CliSession() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
    if (m_err != nullptr)
        std::fclose(m_err);
}

// A thread of the program in the write system call on its standard output, as the kernel tells it.
bool CliSession::writingOutput() const {
    const std::filesystem::path tasks = "/proc/" + std::to_string(m_pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream in(task.path() / "syscall");
        long number = -1;
        std::string first;
        if (in >> number >> first && number == SYS_write && first == "0x1")
            return true;
    }
    return false;
}

bool CliSession::waitUntilOutputIsFull(std::size_t lineLength, std::chrono::milliseconds bound) {
    const auto capacity = static_cast<std::size_t>(::fcntl(m_out, F_GETPIPE_SZ));
    const auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
        int pending = 0;
        ::ioctl(m_out, FIONREAD, &pending);
        // No further path fits, and the program is at one: it stays there until the test reads.
        if (static_cast<std::size_t>(pending) + lineLength > capacity && writingOutput())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

std::string CliSession::errorSoFar() const {
    return readFrom(::fileno(m_err), 0);
}

bool CliSession::waitForError(std::string_view text, std::chrono::milliseconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
        if (errorSoFar().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

CliOutcome CliSession::finish(std::chrono::milliseconds bound) {
    CliOutcome outcome;
    const auto start = std::chrono::steady_clock::now();
    char buffer[1 << 16];
    int status = 0;
    for (bool open = true; open;) {
        if (std::chrono::steady_clock::now() - start > bound) {
            ::kill(m_pid, SIGKILL);
            outcome.timedOut = true;
            break;
        }
        pollfd ready{m_out, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n > 0)
            outcome.out.append(buffer, static_cast<std::size_t>(n));
        open = n > 0 || (n < 0 && errno == EINTR);
    }
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.err = errorSoFar();
    return outcome;
}

} // namespace quillora::cli::test
