#pragma once

#include "run/RunReporter.h"

#include <chrono>
#include <ostream>
#include <string>

namespace quillora::cli {

/// The command line's face of a run: the path of each written page on standard output; messages and status
/// texts on standard error, prefixed "quillora-cli: "; a progress line on a terminal while a run lasts.
class ConsoleReporter : public run::RunReporter {
public:
    static constexpr std::string_view kPrefix = "quillora-cli: ";

    ConsoleReporter(std::ostream& out, std::ostream& err, bool errIsTerminal, bool quiet);

    void statusChanged(const std::string& text) override;
    void fileWritten(const engine::FileEntry& entry) override;
    void pageWritten(const engine::FileEntry& entry, const std::string& outputPath) override;
    void showMessage(const std::string& text, run::MessageIcon icon, run::MessageTitle title) override;
    void returnToPasswordPage() override {}
    void progressChanged(std::size_t done, std::size_t found) override;

    /// Ends the run's output: the last count of protected files, and the progress line cleared.
    void finish();

private:
    using Clock = std::chrono::steady_clock;

    void printLines(const std::string& text);
    void clearProgress();

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_progressShown = false;
    bool m_errIsTerminal;
    bool m_quiet;
    std::string m_lastCount;
    Clock::time_point m_started = Clock::now();
    Clock::time_point m_lastDrawn{};
};

} // namespace quillora::cli
