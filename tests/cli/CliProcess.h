#pragma once

#include <chrono>
#include <string>
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
    /// as (for permission tests run by root).
    static CliOutcome run(const std::vector<std::string>& arguments, std::chrono::milliseconds bound,
                          const std::string& workFolder = {}, int asUser = -1);
    /// Runs the program with input as its standard input.
    static CliOutcome runWithInput(const std::vector<std::string>& arguments, const std::string& input,
                                   std::chrono::milliseconds bound, const std::string& workFolder = {});
    /// Runs the program and kills it (SIGKILL) after the given time, unless it has ended before.
    static CliOutcome runAndKill(const std::vector<std::string>& arguments, std::chrono::microseconds after,
                                 const std::string& workFolder = {});

private:
    static CliOutcome start(const std::vector<std::string>& arguments, std::chrono::microseconds bound,
                            const std::string& workFolder, int asUser, bool killOnPurpose,
                            const std::string* input = nullptr);
};

} // namespace quillora::cli::test
