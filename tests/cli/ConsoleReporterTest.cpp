#include "cli/ConsoleReporter.h"

#include "disk/DiskError.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sstream>

namespace quillora::cli {
namespace {

using run::PageProblem;

struct Console {
    std::ostringstream out;
    std::ostringstream err;
};

/// A clock the test moves by hand, so that what the progress line shows never depends on the machine's load.
struct HandClock {
    ConsoleReporter::Clock::time_point now{};
    void attachTo(ConsoleReporter& reporter) {
        reporter.setClock([this] { return now; });
    }
    void advance(std::chrono::milliseconds by) { now += by; }
};

PageProblem problem(PageProblem::Step step, std::error_code error, std::string path) {
    return {step, error, std::move(path)};
}

TEST(ConsoleReporter, EveryMessageAboutAPageNamesThePageOnOneLine) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, true);
    const std::error_code tooLong(ENAMETOOLONG, std::generic_category());
    reporter.pageGivenUp({"/sub/a.htm", "/site"}, problem(PageProblem::Step::Write, tooLong, "/out/sub/a.htm"));
    reporter.pageGivenUp({"/site/b.htm", ""},
                         problem(PageProblem::Step::Read, {EACCES, std::generic_category()}, "/site/b.htm"));
    reporter.pageGivenUp({"/site/c.htm", ""},
                         problem(PageProblem::Step::Backup, {EROFS, std::generic_category()}, "/site/c.htm.bak"));
    reporter.pageSkipped({"/site/fifo.htm", ""},
                         problem(PageProblem::Step::Read, disk::DiskError::NotARegularFile, "/site/fifo.htm"));
    reporter.pageAlreadyProtected({"/d.htm", "/site"});
    EXPECT_EQ(console.err.str(), "quillora-cli: /site/sub/a.htm: Unknown Error 36: File name too long\n"
                                 "quillora-cli: /site/b.htm: Unable to Access File: /site/b.htm. The file may be "
                                 "read-only.\n"
                                 "quillora-cli: /site/c.htm: Unable to Access File, Your file(s) may be read-only.\n"
                                 "quillora-cli: /site/fifo.htm: Not a regular file; left alone\n"
                                 "quillora-cli: /site/d.htm is already protected\n");
    EXPECT_EQ(console.out.str(), "");
}

TEST(ConsoleReporter, APageProtectedInPartIsNamedWithWhatStayedAsItStands) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, true);
    reporter.pageWritten({"/sub/a.htm", "/out"}, "/out/sub/a.htm");
    reporter.pageProtectedInPart({"/sub/a.htm", "/out"}, engine::PageNotes{true});
    EXPECT_EQ(console.out.str(), "/out/sub/a.htm\n");
    EXPECT_EQ(console.err.str(), "quillora-cli: /out/sub/a.htm: protected in part: links inside a template or an SVG "
                                 "or MathML drawing are left as they are\n");
}

TEST(ConsoleReporter, WrittenPagesGoToStandardOutputInOrderWithTheChosenEnd) {
    Console lines;
    ConsoleReporter byLine(lines.out, lines.err, false, false);
    byLine.pageWritten({"/sub/a.htm", "/out"}, "/out/sub/a.htm");
    byLine.pageWritten({"/b.htm", "/out"}, "/out/b.htm");
    EXPECT_EQ(lines.out.str(), "/out/sub/a.htm\n/out/b.htm\n");
    Console nul;
    ConsoleReporter byNul(nul.out, nul.err, false, false, '\0');
    byNul.pageWritten({"/x\ny.htm", ""}, "/x\ny.htm");
    EXPECT_EQ(nul.out.str(), std::string("/x\ny.htm\0", 9));
}

TEST(ConsoleReporter, StatusTextsAndTheClosingCount) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, false);
    reporter.scanning();
    reporter.pagesFound(3);
    run::RunSummary summary;
    summary.found = 3;
    summary.written = 2;
    summary.alreadyProtected = 1;
    reporter.runFinished(summary);
    EXPECT_EQ(console.err.str(), "quillora-cli: Scanning for files, please wait...\n"
                                 "quillora-cli: The following 2 files have been protected\n"
                                 "quillora-cli: 1 pages were already protected and left as they are\n");
}

TEST(ConsoleReporter, QuietStillSaysThatNothingWasFoundAndWhyARunWasRefused) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, true);
    reporter.scanning();
    reporter.pagesFound(0);
    reporter.runRefused({run::RunRefusal::Reason::PasswordMissing, {}, {}});
    reporter.runFinished({});
    EXPECT_EQ(console.err.str(), "quillora-cli: No files found to protect\nquillora-cli: Please Enter a Password\n");
}

TEST(ConsoleReporter, QuietKeepsOnlyMessages) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, true, true);
    HandClock clock;
    clock.attachTo(reporter);
    reporter.scanning();
    clock.advance(std::chrono::milliseconds(600));
    reporter.progressChanged(1, 2);
    run::RunSummary summary;
    summary.found = summary.written = 1;
    reporter.runFinished(summary);
    reporter.finish();
    EXPECT_EQ(console.err.str(), "");
}

TEST(ConsoleReporter, ProgressLineOnlyOnATerminalAndOnlyAfterAMoment) {
    Console terminal;
    Console piped;
    ConsoleReporter onTerminal(terminal.out, terminal.err, true, false);
    ConsoleReporter onPipe(piped.out, piped.err, false, false);
    HandClock clock;
    clock.attachTo(onTerminal);
    clock.attachTo(onPipe);
    clock.advance(std::chrono::milliseconds(499));
    onTerminal.progressChanged(1, 10);
    EXPECT_EQ(terminal.err.str(), "") << "a short run shows no progress";
    clock.advance(std::chrono::milliseconds(101));
    onTerminal.progressChanged(2, 10);
    onPipe.progressChanged(2, 10);
    EXPECT_EQ(terminal.err.str(), "\rquillora-cli: 2/10 pages\x1b[K");
    clock.advance(std::chrono::milliseconds(50));
    onTerminal.progressChanged(3, 10);
    EXPECT_EQ(terminal.err.str(), "\rquillora-cli: 2/10 pages\x1b[K") << "redrawn at most every 100 ms";
    onTerminal.printLines("m");
    EXPECT_EQ(terminal.err.str(), "\rquillora-cli: 2/10 pages\x1b[K\r\x1b[Kquillora-cli: m\n");
    EXPECT_EQ(piped.err.str(), "");
}

} // namespace
} // namespace quillora::cli
