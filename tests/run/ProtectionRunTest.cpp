#include "run/ProtectionRun.h"

#include "RecordingReporter.h"
#include "run/RunMessages.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using engine::StorageMode;
using Outcome = RunSummary::Outcome;
using Reason = RunRefusal::Reason;
using Step = test::FaultyFileSystem::Step;
using test::readBytes;
using Message = messages::Message;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";
constexpr std::string_view kWriterCall = "qv_d00(unescape(\"";

std::string page(std::string_view title, std::string_view body) {
    return "<html><head><title>" + std::string(title) + "</title></head><body>" + std::string(body) + "</body></html>";
}

std::string utf16le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::size_t occurrences(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class ProtectionRunTest : public ::testing::Test {
protected:
    RunSummary run(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return ProtectionRun(options, reporter, fs).ProtectFiles(selection);
    }
    SelectionEntry folder(std::string_view relative) const { return {temp / relative, true}; }
    SelectionEntry file(std::string_view relative) const { return {temp / relative, false}; }
    bool isProtected(std::string_view relative) const {
        const std::string bytes = readBytes(temp / relative);
        return occurrences(bytes, kBootstrapStart) == 1;
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    test::FaultyFileSystem fs;
};

TEST_F(ProtectionRunTest, AnEmptySelectionIsReportedAndNothingElseHappens) {
    const auto summary = run({});
    EXPECT_EQ(summary.outcome, Outcome::Refused);
    EXPECT_EQ(reporter.runsStarted, 1);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, Reason::NothingPicked);
    EXPECT_TRUE(reporter.events.empty());
    EXPECT_EQ(messages::refusal(reporter.refusals[0]),
              (Message{"No files were picked to be protected", MessageIcon::Exclamation, MessageTitle::MainCaption}));
}

TEST_F(ProtectionRunTest, ABlankPasswordSendsTheUserBackBeforeAnythingIsRead) {
    temp.write("site/a.htm", page("t", "x"));
    options.passwordProtect = true;
    options.password = u"   ";
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.outcome, Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, Reason::PasswordMissing);
    EXPECT_EQ(messages::refusal(reporter.refusals[0]).text, "Please Enter a Password");
    EXPECT_TRUE(reporter.events.empty());
    EXPECT_EQ(fs.callsOf(Step::OpenLocked), 0);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), page("t", "x"));
}

// The window's filter and the command line's keep such texts out; a run handed one is refused all the same.
TEST_F(ProtectionRunTest, TextsThatWouldBreakTheScriptAreRefusedBeforeAnythingIsRead) {
    temp.write("site/a.htm", page("t", "x"));
    options.scripts[engine::kScriptCopyAttribution] = true;
    options.copyAttribution = u"Don't";
    EXPECT_EQ(run({folder("site")}).outcome, Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, Reason::AttributionNotScriptSafe);
    EXPECT_EQ(messages::refusal(reporter.refusals[0]).text, "Attribution: \\ \" or ' not allowed");
    options.scripts[engine::kScriptCopyAttribution] = false;
    options.scripts[engine::kScriptRightClick] = true;
    options.showRightClickWarning = true;
    options.rightClickWarning = u"a\\b";
    EXPECT_EQ(run({folder("site")}).outcome, Outcome::Refused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_EQ(reporter.refusals[0].reason, Reason::WarningNotScriptSafe);
    EXPECT_EQ(fs.callsOf(Step::OpenLocked), 0);
    EXPECT_EQ(readBytes(temp / "site/a.htm"), page("t", "x"));
}

TEST_F(ProtectionRunTest, CopyModeWithoutATargetFolderIsRefused) {
    temp.write("site/a.htm", page("t", "x"));
    options.storageMode = StorageMode::CopyToFolder;
    for (const std::string target : {"", "  "}) {
        options.targetFolder = target;
        const auto summary = run({folder("site")});
        EXPECT_EQ(summary.outcome, Outcome::Refused);
        ASSERT_EQ(reporter.refusals.size(), 1u);
        EXPECT_EQ(reporter.refusals[0].reason, Reason::TargetFolderMissing);
        EXPECT_EQ(messages::refusal(reporter.refusals[0]).text, messages::kChooseTargetFolder);
    }
    EXPECT_EQ(fs.callsOf(Step::CreateTemp), 0);
    EXPECT_EQ(fs.callsOf(Step::CreateFolder), 0);
}

TEST_F(ProtectionRunTest, AFolderWithoutPagesSaysSoWithoutAMessage) {
    temp.write("site/b.txt", "b");
    temp.write("site/C.HTM", "c");
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.outcome, Outcome::Ran);
    EXPECT_EQ(summary.found, 0u);
    EXPECT_EQ(reporter.events, (std::vector<std::string>{"scanning", "found 0"}));
    EXPECT_TRUE(reporter.problems.empty());
}

TEST_F(ProtectionRunTest, ThreeFilesInAFolderAndOnePickedFileAreCountedTogether) {
    for (const char* name : {"site/a.htm", "site/b.htm", "site/sub/c.html", "single.htm"})
        temp.write(name, page(name, "body"));
    options.makeBackups = false;
    const auto summary = run({folder("site"), file("single.htm")});
    EXPECT_EQ(summary.found, 4u);
    EXPECT_EQ(summary.written, 4u);
    EXPECT_EQ(summary.givenUp, 0u);
    ASSERT_EQ(reporter.written.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reporter.written[static_cast<std::size_t>(i)].Folder, temp / "site");
    EXPECT_EQ(reporter.written[2].Name, "/sub/c.html");
    EXPECT_EQ(reporter.written[3].Folder, "");
    EXPECT_EQ(reporter.written[3].Name, temp / "single.htm");
    EXPECT_EQ(reporter.events,
              (std::vector<std::string>{"scanning", "found 4", "written " + temp / "site/a.htm",
                                        "written " + temp / "site/b.htm", "written " + temp / "site/sub/c.html",
                                        "written " + temp / "single.htm"}));
    EXPECT_EQ(reporter.progress.front(), std::make_pair(std::size_t{0}, std::size_t{4}));
    EXPECT_EQ(reporter.progress.back(), std::make_pair(std::size_t{4}, std::size_t{4}));
    for (const char* name : {"site/a.htm", "site/b.htm", "site/sub/c.html", "single.htm"})
        EXPECT_TRUE(isProtected(name)) << name;
    EXPECT_EQ(temp.files().size(), 4u) << "no backups, no temporary files";
}

TEST_F(ProtectionRunTest, APageWithLinksLeftInATemplateIsReportedProtectedInPartRightAfterItsListing) {
    temp.write("site/a.htm", page("a", "<template><a href=\"t.htm\">T</a></template><a href=\"x.htm\">X</a>"));
    temp.write("site/b.htm", page("b", "<a href=\"y.htm\">Y</a>"));
    options.encryptionMode = engine::EncryptionMode::AllLinks;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.protectedInPart, 1u);
    EXPECT_FALSE(summary.allDone()) << "a protection that does not hold whole is not a success";
    EXPECT_EQ(reporter.events,
              (std::vector<std::string>{"scanning", "found 2", "written " + temp / "site/a.htm",
                                        "in part " + temp / "site/a.htm" +
                                            ": protected in part: links inside a template or an SVG or MathML "
                                            "drawing are left as they are",
                                        "written " + temp / "site/b.htm"}));
    EXPECT_NE(readBytes(temp / "site/a.htm").find("<template><a href=\"t.htm\">T</a></template>"), std::string::npos);
    EXPECT_EQ(readBytes(temp / "site/a.htm").find("x.htm"), std::string::npos);
}

TEST_F(ProtectionRunTest, EachFileIsProtectedOnceHoweverItIsPicked) {
    temp.write("site/a.htm", page("a", "x"));
    temp.write("site/sub/b.htm", page("b", "y"));
    std::filesystem::create_symlink(temp / "site/a.htm", temp / "link.htm");
    options.makeBackups = false;
    const auto summary = run({folder("site"), folder("site/sub"), file("site/a.htm"), file("site//a.htm"),
                              file("site/sub/../a.htm"), file("link.htm")});
    EXPECT_EQ(summary.found, 2u) << "each page counts once";
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.givenUp, 0u);
    EXPECT_TRUE(isProtected("site/a.htm"));
    EXPECT_TRUE(isProtected("site/sub/b.htm"));
    ASSERT_EQ(reporter.written.size(), 2u);
    EXPECT_EQ(reporter.written[1].Name, "/sub/b.htm") << "listed where its first visit put it";
}

TEST_F(ProtectionRunTest, ASecondRunLeavesProtectedPagesAndTheirBackupsAlone) {
    const std::string original = page("t", "secret");
    temp.write("site/a.htm", original);
    temp.write("site/b.htm", page("b", "x"));
    options.makeBackups = true;
    run({folder("site")});
    const std::string first = readBytes(temp / "site/a.htm");
    EXPECT_EQ(readBytes(temp / "site/a.htm.bak"), original);
    temp.write("site/b.htm", page("b", "edited since")); // the user put back an original and edited it
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.alreadyProtected, 1u);
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(reporter.alreadyProtected, std::vector<std::string>{temp / "site/a.htm"});
    EXPECT_EQ(readBytes(temp / "site/a.htm"), first);
    EXPECT_EQ(readBytes(temp / "site/a.htm.bak"), original) << "the original is never lost";
    EXPECT_EQ(readBytes(temp / "site/b.htm.bak"), page("b", "edited since"));
    EXPECT_EQ(temp.files(), (std::vector<std::string>{"site/a.htm", "site/a.htm.bak", "site/b.htm", "site/b.htm.bak"}));
}

TEST_F(ProtectionRunTest, CopyModeWithTwoFoldersPoursBothIntoTheTarget) {
    temp.write("one/index.htm", page("first", "1"));
    temp.write("one/sub/x.htm", page("x", "1"));
    temp.write("two/other.htm", page("second", "2"));
    temp.write("lone/single.htm", page("single", "3"));
    options.storageMode = StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";
    const auto summary = run({folder("one"), folder("two"), file("lone/single.htm")});
    EXPECT_EQ(summary.written, 4u);
    EXPECT_EQ(reporter.outputs, (std::vector<std::string>{temp / "out/index.htm", temp / "out/sub/x.htm",
                                                          temp / "out/other.htm", temp / "out/single.htm"}));
    EXPECT_NE(readBytes(temp / "out/other.htm").find("<title>second</title>"), std::string::npos);
    ASSERT_EQ(reporter.written.size(), 4u);
    EXPECT_EQ(reporter.written[0].Folder, temp / "out");
    EXPECT_EQ(reporter.written[0].Name, "/index.htm");
    EXPECT_EQ(reporter.written[3].Name, temp / "out/single.htm");
    EXPECT_EQ(readBytes(temp / "one/index.htm"), page("first", "1")) << "sources untouched";
}

// Two picked folders whose files meet in the target would lose the first one written: refused before anything is.
TEST_F(ProtectionRunTest, CopyModeRefusesTwoFilesThatWouldLandOnOneOutput) {
    struct Clash {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files; // path, content
        std::vector<std::string> picked;                        // a trailing "/" picks a folder
        std::string first;
        std::string second;
        std::string output;
    };
    const Clash clashes[] = {
        {"PagesOfTwoFolders",
         {{"one/index.htm", page("first", "1")}, {"two/index.htm", page("second", "2")}},
         {"one/", "two/"},
         "one/index.htm",
         "two/index.htm",
         "out/index.htm"},
        {"APageOnItsOwnAndOneOfAFolder",
         {{"one/a.htm", page("a", "1")}, {"two/a.htm", page("a", "2")}},
         {"one/", "two/a.htm"},
         "one/a.htm",
         "two/a.htm",
         "out/a.htm"},
        {"OtherFilesOfTwoFolders",
         {{"one/a.htm", page("a", "1")}, {"one/logo.png", "1"}, {"two/b.htm", page("b", "2")}, {"two/logo.png", "2"}},
         {"one/", "two/"},
         "one/logo.png",
         "two/logo.png",
         "out/logo.png"},
    };
    options.storageMode = StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";
    for (const auto& clash : clashes) {
        SCOPED_TRACE(clash.name);
        std::filesystem::remove_all(temp / "one");
        std::filesystem::remove_all(temp / "two");
        for (const auto& [path, content] : clash.files)
            temp.write(path, content);
        std::vector<SelectionEntry> selection;
        for (const auto& picked : clash.picked)
            selection.push_back(picked.ends_with('/') ? folder(picked.substr(0, picked.size() - 1)) : file(picked));
        EXPECT_EQ(run(selection).outcome, RunSummary::Outcome::Refused);
        ASSERT_EQ(reporter.refusals.size(), 1u);
        EXPECT_EQ(reporter.refusals[0].reason, RunRefusal::Reason::OutputsClash);
        EXPECT_EQ(reporter.refusals[0].path, temp / clash.first);
        EXPECT_EQ(reporter.refusals[0].other, temp / clash.second);
        EXPECT_EQ(reporter.refusals[0].output, temp / clash.output);
        EXPECT_FALSE(std::filesystem::exists(temp / "out")) << "nothing written";
    }
    temp.write("one/same.htm", page("same", "1"));
    EXPECT_EQ(run({folder("one"), file("one/same.htm")}).outcome, RunSummary::Outcome::Ran)
        << "one page picked twice is not a clash";
}

TEST_F(ProtectionRunTest, BesideModeWritesProtectedNames) {
    temp.write("site/sub/a.htm", page("a", "x"));
    options.storageMode = StorageMode::CreateProtected;
    run({folder("site")});
    EXPECT_EQ(temp.files(), (std::vector<std::string>{"site/sub/a.htm", "site/sub/protected_a.htm"}));
    EXPECT_TRUE(isProtected("site/sub/protected_a.htm"));
    EXPECT_EQ(reporter.written[0].Name, "/sub/protected_a.htm");
}

TEST_F(ProtectionRunTest, FramePagesAreProtectedBeforeTheirFramesetWhichStaysUnchanged) {
    const std::string frameset =
        "<html><frameset cols=\"50%,50%\"><frame src=\"menu.htm\" name=m><FRAME SRC=sub/main.htm></frameset></html>";
    temp.write("site/index.htm", frameset);
    temp.write("site/menu.htm", page("menu", "m"));
    temp.write("site/sub/main.htm", page("main", "b"));
    options.makeBackups = false;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 3u);
    EXPECT_EQ(reporter.outputs,
              (std::vector<std::string>{temp / "site/menu.htm", temp / "site/sub/main.htm", temp / "site/index.htm"}));
    EXPECT_EQ(readBytes(temp / "site/index.htm"), frameset);
    EXPECT_TRUE(isProtected("site/menu.htm"));
    EXPECT_TRUE(isProtected("site/sub/main.htm"));
    EXPECT_EQ(reporter.written[0].Folder, temp / "site");
    EXPECT_EQ(reporter.written[0].Name, "/menu.htm");
}

TEST_F(ProtectionRunTest, FramesOutsideThePickedFolderOrNotPagesAreNotFollowed) {
    const std::string frameset = "<html><frameset>"
                                 "<frame src=\"../outside.htm\"><frame src=\"/etc/abs.htm\">"
                                 "<frame src=\"https://example.com/x.htm\"><frame src=\"menu.php\">"
                                 "<frame src=\"MENU.HTM\">"
                                 "</frameset></html>";
    temp.write("site/index.htm", frameset);
    temp.write("outside.htm", page("o", "o"));
    temp.write("site/menu.php", page("p", "p"));
    temp.write("site/MENU.HTM", page("M", "M"));
    options.makeBackups = false;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.givenUp, 0u);
    EXPECT_EQ(readBytes(temp / "site/index.htm"), frameset) << "still a frameset, written unchanged";
    EXPECT_EQ(readBytes(temp / "outside.htm"), page("o", "o"));
    EXPECT_EQ(readBytes(temp / "site/menu.php"), page("p", "p"));
    EXPECT_EQ(readBytes(temp / "site/MENU.HTM"), page("M", "M"));
}

TEST_F(ProtectionRunTest, APickedFilesFramesStayInsideItsFolderByTheirRealPaths) {
    temp.write("site/f.htm", "<frameset><frame src=\"a.htm\"><frame src=\"../up.htm\"></frameset>");
    temp.write("site/a.htm", "<frameset><frame src=\"sub/my%20b.htm?x=1#top\"><frame src=\"link/escape.htm\">"
                             "<frame src=\"sub/c.htm%3Fx\"></frameset>");
    temp.write("site/sub/my b.htm", page("b", "b"));
    temp.write("site/sub/c.htm?x", page("c", "c"));
    temp.write("up.htm", page("u", "u"));
    temp.write("elsewhere/escape.htm", page("e", "e"));
    std::filesystem::create_directory_symlink(temp / "elsewhere", temp / "site/link");
    options.storageMode = StorageMode::CreateProtected;
    const auto summary = run({file("site/f.htm")});
    EXPECT_EQ(summary.givenUp, 0u);
    EXPECT_EQ(reporter.outputs,
              (std::vector<std::string>{temp / "site/sub/protected_my b.htm", temp / "site/protected_a.htm",
                                        temp / "site/protected_f.htm"}));
    EXPECT_EQ(reporter.written[0].Name, temp / "site/sub/protected_my b.htm");
    EXPECT_FALSE(std::filesystem::exists(temp / "protected_up.htm"));
    EXPECT_FALSE(std::filesystem::exists(temp / "elsewhere/protected_escape.htm"));
}

TEST_F(ProtectionRunTest, PagesThatFrameEachOtherAreEachProtectedOnce) {
    temp.write("site/a.htm", "<frameset><frame src=\"b.htm\"></frameset>");
    temp.write("site/b.htm", "<frameset><frame src=\"a.htm\"><frame src=\"b.htm\"></frameset>");
    options.storageMode = StorageMode::CreateProtected;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(reporter.outputs,
              (std::vector<std::string>{temp / "site/protected_b.htm", temp / "site/protected_a.htm"}));
}

TEST_F(ProtectionRunTest, AMissingFramePageIsReportedAndItsFramesetProtectedAsAPage) {
    temp.write("site/index.htm", "<html><head></head><frameset><frame src=\"gone.htm\"></frameset></html>");
    options.makeBackups = false;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_EQ(reporter.messages(), (std::vector<Message>{{"Unknown Error 2\r\nNo such file or directory",
                                                          MessageIcon::Exclamation, MessageTitle::MainCaption}}));
    EXPECT_EQ(reporter.problems[0].page.fullPath(), temp / "site/gone.htm");
    EXPECT_TRUE(isProtected("site/index.htm"));
    EXPECT_FALSE(std::filesystem::exists(temp / "site/gone.htm")) << "a vanished source is not created";
}

TEST_F(ProtectionRunTest, AReadOnlyOutputIsReportedAndTheRunGoesOn) {
    const std::string locked = temp.write("site/a.htm", page("a", "x"));
    temp.write("site/b.htm", page("b", "y"));
    std::filesystem::permissions(locked, std::filesystem::perms(0444));
    options.makeBackups = false;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_EQ(reporter.messages(),
              (std::vector<Message>{{"Unable to Access File: " + locked + ".\r\nThe file may be read-only.",
                                     MessageIcon::Exclamation, MessageTitle::ApplicationTitle}}));
    EXPECT_EQ(readBytes(locked), page("a", "x"));
    EXPECT_TRUE(isProtected("site/b.htm"));
}

struct SourceFault {
    const char* name;
    int error;
    std::string message; // "@" stands for the source's path message
    MessageTitle title;
};

class SourceFaults : public ProtectionRunTest, public ::testing::WithParamInterface<SourceFault> {};

TEST_P(SourceFaults, AreReportedAndTheFileSkipped) {
    const auto& c = GetParam();
    const std::string bad = temp.write("site/a.htm", page("a", "x"));
    temp.write("site/b.htm", page("b", "y"));
    fs.failAt(Step::ReadFile, c.error, 0, "/a.htm");
    options.storageMode = StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(summary.givenUp, 1u);
    const std::string text = c.message == "@" ? messages::unableToAccessFile(bad) : c.message;
    EXPECT_EQ(reporter.messages(), (std::vector<Message>{{text, MessageIcon::Exclamation, c.title}}));
    EXPECT_FALSE(std::filesystem::exists(temp / "out/a.htm"));
    EXPECT_TRUE(isProtected("out/b.htm"));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SourceFaults,
    ::testing::Values(
        SourceFault{"HalfReadThenIoError", EIO, "Unknown Error 5\r\nInput/output error", MessageTitle::MainCaption},
        SourceFault{"Refused", EACCES, "@", MessageTitle::ApplicationTitle},
        SourceFault{"Vanished", ENOENT, "Unknown Error 2\r\nNo such file or directory", MessageTitle::MainCaption}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProtectionRunTest, AMissingPickedFileIsReportedNotCreated) {
    temp.write("b.htm", page("b", "y"));
    options.makeBackups = false;
    const auto summary = run({file("gone.htm"), file("b.htm")});
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_EQ(summary.written, 1u);
    EXPECT_FALSE(std::filesystem::exists(temp / "gone.htm"));
    EXPECT_FALSE(std::filesystem::exists(temp / "gone.htm.bak"));
}

TEST_F(ProtectionRunTest, AFailedOverwriteKeepsTheOnlyCopy) {
    const std::string only = temp.write("site/a.htm", page("a", "the only copy"));
    options.makeBackups = false;
    fs.failAt(Step::Write, ENOSPC, 1);
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_EQ(readBytes(only), page("a", "the only copy"));
    EXPECT_EQ(temp.files(), std::vector<std::string>{"site/a.htm"});
    EXPECT_EQ(reporter.messages(), (std::vector<Message>{{"Unknown Error 28\r\nNo space left on device",
                                                          MessageIcon::Exclamation, MessageTitle::MainCaption}}));
    EXPECT_EQ(reporter.events, (std::vector<std::string>{"scanning", "found 1", "given up " + only}));
}

struct BackupFault {
    const char* name;
    Step step;
    int error;
    Message message;
};

class BackupFaults : public ProtectionRunTest, public ::testing::WithParamInterface<BackupFault> {};

TEST_P(BackupFaults, KeepThePageUnwrittenAndTheOldBackup) {
    const auto& c = GetParam();
    const std::string source = temp.write("site/a.htm", page("a", "x"));
    temp.write("site/a.htm.bak", "an older backup");
    fs.failAt(c.step, c.error, 0, ".bak");
    // Making and writing a backup happen where it cannot be a further name of the page's file.
    if (c.step != Step::Rename)
        fs.failAt(Step::Link, EPERM);
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_EQ(reporter.messages(), std::vector<Message>{c.message});
    EXPECT_EQ(readBytes(source), page("a", "x"));
    EXPECT_EQ(readBytes(temp / "site/a.htm.bak"), "an older backup");
    EXPECT_EQ(temp.files(), (std::vector<std::string>{"site/a.htm", "site/a.htm.bak"})) << "no temporary file left";
}

// Whatever the error, a page whose backup cannot be made is not overwritten.
INSTANTIATE_TEST_SUITE_P(
    Steps, BackupFaults,
    ::testing::Values(
        BackupFault{"Refused",
                    Step::CreateTemp,
                    EACCES,
                    {std::string(messages::kBackupReadOnly), MessageIcon::None, MessageTitle::ApplicationTitle}},
        BackupFault{"ReadOnlyDisk",
                    Step::CreateTemp,
                    EROFS,
                    {std::string(messages::kBackupReadOnly), MessageIcon::None, MessageTitle::ApplicationTitle}},
        BackupFault{
            "Missing",
            Step::CreateTemp,
            ENOENT,
            {"Unknown Error 2\r\nNo such file or directory", MessageIcon::Exclamation, MessageTitle::MainCaption}},
        BackupFault{
            "DiskFull",
            Step::Write,
            ENOSPC,
            {"Unknown Error 28\r\nNo space left on device", MessageIcon::Exclamation, MessageTitle::MainCaption}},
        BackupFault{"RenameFails",
                    Step::Rename,
                    EIO,
                    {"Unknown Error 5\r\nInput/output error", MessageIcon::Exclamation, MessageTitle::MainCaption}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProtectionRunTest, AReadOnlyBackupIsNotReplacedNorThePageOverwritten) {
    const std::string source = temp.write("site/a.htm", page("a", "x"));
    const std::string backup = temp.write("site/a.htm.bak", "old");
    std::filesystem::permissions(backup, std::filesystem::perms::owner_read);
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.givenUp, 1u);
    EXPECT_EQ(reporter.messages(), (std::vector<Message>{{std::string(messages::kBackupReadOnly), MessageIcon::None,
                                                          MessageTitle::ApplicationTitle}}));
    EXPECT_EQ(readBytes(backup), "old");
    EXPECT_EQ(readBytes(source), page("a", "x"));
}

TEST_F(ProtectionRunTest, AScanThroughALinkToAParentEnds) {
    temp.write("site/a.htm", page("a", "x"));
    std::filesystem::create_directory_symlink(temp / "site", temp / "site/again");
    options.storageMode = StorageMode::CreateProtected;
    const auto summary = run({folder("site")});
    EXPECT_EQ(summary.found, 1u);
    EXPECT_EQ(summary.written, 1u);
}

struct CharsetPage {
    const char* name;
    std::string bytes;
    std::string readableHead; // must come out byte for byte
    std::string escaped;      // how the body text appears in the writer call
    std::string start;        // how the output starts
};

class CharsetPages : public ProtectionRunTest, public ::testing::WithParamInterface<CharsetPage> {};

TEST_P(CharsetPages, AreReadAndWrittenInTheirOwnSet) {
    const auto& c = GetParam();
    temp.write("site/a.htm", c.bytes);
    options.storageMode = StorageMode::CreateProtected;
    run({folder("site")});
    const std::string out = readBytes(temp / "site/protected_a.htm");
    EXPECT_TRUE(out.starts_with(c.start));
    EXPECT_NE(out.find(c.readableHead), std::string::npos);
    EXPECT_NE(out.find(c.escaped), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CharsetPages,
    ::testing::Values(CharsetPage{"Utf8", page("T\xC3\xA9st", "\xC3\xA9"), "<title>T\xC3\xA9st</title>",
                                  "unescape(\"%E9\")", "<html>"},
                      CharsetPage{"Windows1252", page("T\xE9st", "\xE9\x80"), "<title>T\xE9st</title>",
                                  "unescape(\"%E9%u20AC\")", "<html>"},
                      CharsetPage{"EucKr", "<meta charset=euc-kr>" + page("\xBE\xC8", "\xB3\xE7"),
                                  "<title>\xBE\xC8</title>", "unescape(\"%uB155\")", "<meta charset=euc-kr>"},
                      CharsetPage{"Utf8WithMark", "\xEF\xBB\xBF" + page("\xE2\x82\xAC", "\xE2\x82\xAC"),
                                  "<title>\xE2\x82\xAC</title>", "unescape(\"%u20AC\")", "\xEF\xBB\xBF<html>"},
                      CharsetPage{"Utf16", "\xFF\xFE" + utf16le(u"<body>\uAC48</body>"), utf16le(u"<body>"),
                                  utf16le(u"unescape(\"%uAC48\")"), "\xFF\xFE" + utf16le(u"<html>")}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProtectionRunTest, ANoticeTheSetCannotHoldBecomesCharacterReferences) {
    temp.write("site/a.htm", page("T\xE9st", "x"));
    options.storageMode = StorageMode::CreateProtected;
    options.insertNotice = true;
    options.noticeText = u"\u00A9 \uD55C";
    run({folder("site")});
    EXPECT_TRUE(readBytes(temp / "site/protected_a.htm").starts_with("<!-- \xA9 &#54620;-->\r\n"));
}

TEST_F(ProtectionRunTest, ZeroCharactersAreDropped) {
    temp.write("site/a.htm", std::string("<html><head></head><body>a\0b</body></html>", 42));
    options.storageMode = StorageMode::CreateProtected;
    run({folder("site")});
    const std::string out = readBytes(temp / "site/protected_a.htm");
    EXPECT_EQ(out.find('\0'), std::string::npos);
    EXPECT_NE(out.find("unescape(\"%61%62\")"), std::string::npos);
}

} // namespace
} // namespace quillora::run
