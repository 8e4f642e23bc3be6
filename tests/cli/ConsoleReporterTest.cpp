#include "cli/ConsoleReporter.h"

#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace quillora::cli {
namespace {

using run::MessageIcon;
using run::MessageTitle;

struct Console {
    std::ostringstream out;
    std::ostringstream err;
};

TEST(ConsoleReporter, MessagesGoToStandardErrorOneLineEach) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, true);
    reporter.showMessage("Unable to Access File: /a.htm.\r\nThe file may be read-only.", MessageIcon::Exclamation,
                         MessageTitle::ApplicationTitle);
    EXPECT_EQ(console.err.str(),
              "quillora-cli: Unable to Access File: /a.htm.\nquillora-cli: The file may be read-only.\n");
    EXPECT_EQ(console.out.str(), "");
}

TEST(ConsoleReporter, WrittenPagesGoToStandardOutputInOrder) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, false);
    reporter.pageWritten({"/sub/a.htm", "/out"}, "/out/sub/a.htm");
    reporter.pageWritten({"/b.htm", "/out"}, "/out/b.htm");
    EXPECT_EQ(console.out.str(), "/out/sub/a.htm\n/out/b.htm\n");
}

TEST(ConsoleReporter, StatusTextsButOnlyTheLastCount) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, false);
    reporter.statusChanged("Scanning for files, please wait...");
    reporter.statusChanged("The following 1 files have been protected");
    reporter.statusChanged("The following 2 files have been protected");
    reporter.finish();
    EXPECT_EQ(console.err.str(), "quillora-cli: Scanning for files, please wait...\n"
                                 "quillora-cli: The following 2 files have been protected\n");
}

TEST(ConsoleReporter, QuietStillSaysThatNothingWasFound) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, false, true);
    reporter.statusChanged("Scanning for files, please wait...");
    reporter.statusChanged("No files found to protect");
    reporter.finish();
    EXPECT_EQ(console.err.str(), "quillora-cli: No files found to protect\n");
}

TEST(ConsoleReporter, QuietKeepsOnlyMessages) {
    Console console;
    ConsoleReporter reporter(console.out, console.err, true, true);
    reporter.statusChanged("Scanning for files, please wait...");
    reporter.statusChanged("The following 1 files have been protected");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    reporter.progressChanged(1, 2);
    reporter.finish();
    EXPECT_EQ(console.err.str(), "");
}

TEST(ConsoleReporter, ProgressLineOnlyOnATerminalAndOnlyAfterAMoment) {
    Console terminal;
    Console piped;
    ConsoleReporter onTerminal(terminal.out, terminal.err, true, false);
    ConsoleReporter onPipe(piped.out, piped.err, false, false);
    onTerminal.progressChanged(1, 10);
    EXPECT_EQ(terminal.err.str(), "") << "a short run shows no progress";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    onTerminal.progressChanged(2, 10);
    onPipe.progressChanged(2, 10);
    EXPECT_EQ(terminal.err.str(), "\rquillora-cli: 2/10 pages\x1b[K");
    onTerminal.showMessage("m", MessageIcon::Exclamation, MessageTitle::MainCaption);
    EXPECT_EQ(terminal.err.str(), "\rquillora-cli: 2/10 pages\x1b[K\r\x1b[Kquillora-cli: m\n");
    EXPECT_EQ(piped.err.str(), "");
}

} // namespace
} // namespace quillora::cli
