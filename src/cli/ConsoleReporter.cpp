#include "ConsoleReporter.h"

#include "run/RunMessages.h"

namespace quillora::cli {

namespace {

// The progress line appears only once a run has lasted this long, and is redrawn at most this often.
constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::string_view kCountPrefix = "The following ";

} // namespace

ConsoleReporter::ConsoleReporter(std::ostream& out, std::ostream& err, bool errIsTerminal, bool quiet)
    : m_out(out), m_err(err), m_errIsTerminal(errIsTerminal), m_quiet(quiet) {}

void ConsoleReporter::statusChanged(const std::string& text) {
    // The running count changes after every page; only the last one is printed, by finish().
    if (text.starts_with(kCountPrefix)) {
        m_lastCount = text;
        return;
    }
    // That nothing was found is worth a line even in a quiet run: nothing was done.
    if (!m_quiet || text == run::messages::kNoFilesFound)
        printLines(text);
}

void ConsoleReporter::fileWritten(const engine::FileEntry& entry) {
    m_out << entry.fullPath() << '\n';
}

void ConsoleReporter::pageWritten(const engine::FileEntry&, const std::string& outputPath) {
    m_out << outputPath << '\n';
}

void ConsoleReporter::showMessage(const std::string& text, run::MessageIcon, run::MessageTitle) {
    printLines(text);
}

void ConsoleReporter::progressChanged(std::size_t done, std::size_t found) {
    if (!m_errIsTerminal || m_quiet || found == 0)
        return;
    const auto now = Clock::now();
    if (now - m_started < kProgressDelay || now - m_lastDrawn < kProgressInterval)
        return;
    m_lastDrawn = now;
    m_err << '\r' << kPrefix << done << '/' << found << " pages\x1b[K" << std::flush;
    m_progressShown = true;
}

void ConsoleReporter::finish() {
    if (!m_quiet && !m_lastCount.empty())
        printLines(m_lastCount);
    clearProgress();
    m_out.flush();
}

void ConsoleReporter::printLines(const std::string& text) {
    clearProgress();
    m_out.flush(); // the paths written so far come before the message on a shared terminal
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        m_err << kPrefix << line << '\n';
        start = end + 1;
    }
    m_err.flush();
}

void ConsoleReporter::clearProgress() {
    if (!m_progressShown)
        return;
    m_err << "\r\x1b[K" << std::flush;
    m_progressShown = false;
}

} // namespace quillora::cli
