#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::cli::test {

/// What one run of the real quillora-cli came to.
struct CliOutcome {
    int exitCode = -1;
    bool timedOut = false; // killed at the time bound
    bool killed = false;   // killed on purpose, as a user or a crash would stop it
    double seconds = 0;
    long peakKiB = 0; // the largest resident set the program reached
    std::string out;
    std::string err;
};

/// Starts quillora-cli with arguments and waits for it, at most for the given time.
class CliProcess {
public:
    /// Runs the program in workFolder (or the current one); asUser, when not negative, is the user id it runs
    /// as (for permission tests run by root); openFiles, when positive, its limit of open files, soft and hard (as a
    /// shell's "ulimit -n" sets it).
    static CliOutcome run(const std::vector<std::string>& arguments, std::chrono::milliseconds bound,
                          const std::string& workFolder = {}, int asUser = -1, long openFiles = 0);
    /// Runs the program with input as its standard input.
    static CliOutcome runWithInput(const std::vector<std::string>& arguments, const std::string& input,
                                   std::chrono::milliseconds bound, const std::string& workFolder = {});
    /// Runs the program and kills it (SIGKILL) after the given time, unless it has ended before.
    static CliOutcome runAndKill(const std::vector<std::string>& arguments, std::chrono::microseconds after,
                                 const std::string& workFolder = {});

private:
    static CliOutcome start(const std::vector<std::string>& arguments, std::chrono::microseconds bound,
                            const std::string& workFolder, int asUser, bool killOnPurpose, long openFiles,
                            const std::string* input = nullptr);
};

/// quillora-cli running while the test acts beside it. Its standard output is a pipe of the smallest size, which the
/// test reads only when it finishes the session: the program stops at the first written path that no longer fits,
/// at a moment the test can tell. Its standard error is a file the test can look at meanwhile.
class CliSession {
public:
    CliSession(const std::vector<std::string>& arguments, const std::string& workFolder);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    /// Waits, at most for bound, until the program sits in a write of its standard output that the pipe cannot take
    /// (every path it writes is lineLength bytes with its line end): from then on it writes nothing more.
    bool waitUntilOutputIsFull(std::size_t lineLength, std::chrono::milliseconds bound);
    /// Waits, at most for bound, until standard error holds text.
    bool waitForError(std::string_view text, std::chrono::milliseconds bound);
    /// Reads standard output to its end and waits, at most for bound, for the program to end.
    CliOutcome finish(std::chrono::milliseconds bound);

private:
    bool writingOutput() const;
    std::string errorSoFar() const;

    int m_pid = -1;
    int m_out = -1;
    std::FILE* m_err = nullptr;
};

} // namespace quillora::cli::test
