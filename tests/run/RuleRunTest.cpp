#include "RecordingReporter.h"
#include "run/ProtectionRun.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using engine::EncryptionMode;
using engine::StorageMode;
using Action = PageRecord::Action;
using Step = test::FaultyFileSystem::Step;
using test::readBytes;

constexpr std::string_view kBootstrapStart = "<SCRIPT LANGUAGE=JavaScript><!--";

std::string page(std::string_view word) {
    return "<html><head><title>t</title></head><body><p>" + std::string(word) +
           "</p><a href=\"mailto:me@example.com\">mail</a></body></html>";
}

PathPatternList listOf(std::initializer_list<const char*> patterns) {
    PathPatternList list;
    std::string error;
    for (const char* pattern : patterns)
        EXPECT_TRUE(list.add(pattern, error)) << error;
    return list;
}

class RuleRunTest : public ::testing::Test {
protected:
    RuleRunTest() {
        temp.write("site/a.html", page("alpha"));
        temp.write("site/members/m.html", page("members-only"));
        temp.write("site/index.html", page("welcome"));
        temp.write("site/style.css", "body{}");
        temp.write("site/drafts/d.html", page("draft"));
        temp.write("site/drafts/notes.txt", "n");
        options.storageMode = StorageMode::CopyToFolder;
        options.targetFolder = temp / "out";
    }

    /// Email links everywhere, members' pages whole, the home page left alone, drafts left out.
    RuleSet siteRules() const {
        engine::ProtectionOptions defaults = options;
        defaults.encryptionMode = EncryptionMode::EmailLinks;
        RuleSet rules(defaults);
        rules.setRoot(temp / "site");
        PageRule members;
        members.options = options;
        members.options.encryptionMode = EncryptionMode::WholePage;
        members.name = "members";
        rules.addRule(listOf({"members/"}), members);
        PageRule alone;
        alone.action = PageRule::Action::LeaveAlone;
        alone.options = options;
        rules.addRule(listOf({"index.html"}), alone);
        rules.setExcluded(listOf({"drafts/"}));
        return rules;
    }

    RunSummary run(RuleSet rules, bool dryRun = false) {
        reporter = {};
        ProtectionRun protection(std::move(rules), reporter, fs);
        protection.setDryRun(dryRun);
        return protection.ProtectFiles({{temp / "site", true}});
    }
    bool holds(std::string_view relative, std::string_view part) const {
        return readBytes(temp / relative).find(part) != std::string::npos;
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    test::FaultyFileSystem fs;
};

TEST_F(RuleRunTest, EachPageGetsWhatItsLastMatchingRuleGives) {
    const auto summary = run(siteRules());
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(summary.written, 2u);
    EXPECT_EQ(summary.leftAlone, 1u);
    EXPECT_EQ(summary.otherFilesCopied, 1u);
    // E-mail links hidden, the text readable.
    EXPECT_TRUE(holds("out/a.html", "alpha"));
    EXPECT_FALSE(holds("out/a.html", "me@example.com"));
    // The whole page hidden.
    EXPECT_FALSE(holds("out/members/m.html", "members-only"));
    EXPECT_TRUE(holds("out/members/m.html", kBootstrapStart));
    // Left alone, and copied as it is.
    EXPECT_EQ(readBytes(temp / "out/index.html"), page("welcome"));
    EXPECT_EQ(readBytes(temp / "out/style.css"), "body{}");
    const std::vector<std::string> leftAlone{temp / "site/index.html" + " -> " + temp / "out/index.html"};
    EXPECT_EQ(reporter.recorded(Action::LeftAlone), leftAlone);
}

TEST_F(RuleRunTest, ExcludedPathsAreNeverOpenedNorCopied) {
    // Any opening or copying of a draft would fail, and show as a page given up or a file not copied.
    fs.failAt(Step::OpenLocked, EIO, 0, "drafts");
    fs.failAt(Step::Copy, EIO, 0, "drafts");
    fs.failAt(Step::ReadFile, EIO, 0, "drafts");
    const auto summary = run(siteRules());
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(fs.strikes(), 0);
    EXPECT_EQ(summary.found, 3u) << "a.html, members/m.html, index.html";
    EXPECT_FALSE(std::filesystem::exists(temp / "out/drafts"));
}

TEST_F(RuleRunTest, APageLeftAloneInPlaceIsNotTouched) {
    options.storageMode = StorageMode::Overwrite;
    options.targetFolder.clear();
    fs.failAt(Step::OpenLocked, EIO, 0, "index.html");
    const auto summary = run(siteRules());
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(summary.leftAlone, 1u);
    EXPECT_EQ(readBytes(temp / "site/index.html"), page("welcome"));
    EXPECT_FALSE(std::filesystem::exists(temp / "site/index.html.bak"));
    EXPECT_FALSE(holds("site/a.html", "me@example.com"));
}

TEST_F(RuleRunTest, AnExcludedFramePageIsNotFollowed) {
    temp.write("site/frames.html",
               "<html><frameset><frame src=\"drafts/d.html\"><frame src=\"a.html\"></frameset></html>");
    fs.failAt(Step::OpenLocked, EIO, 0, "drafts");
    const auto summary = run(siteRules());
    EXPECT_TRUE(summary.allDone());
    EXPECT_EQ(fs.strikes(), 0);
    EXPECT_FALSE(std::filesystem::exists(temp / "out/drafts/d.html"));
}

TEST_F(RuleRunTest, ADryRunWritesNothingAndTellsEachFile) {
    const auto summary = run(siteRules(), true);
    EXPECT_EQ(summary.outcome, RunSummary::Outcome::Ran);
    EXPECT_FALSE(std::filesystem::exists(temp / "out"));
    EXPECT_EQ(reporter.written.size(), 0u);
    const std::vector<std::string> protectedPages{temp / "site/a.html" + " -> " + temp / "out/a.html",
                                                  temp / "site/members/m.html" + " -> " + temp / "out/members/m.html"};
    EXPECT_EQ(reporter.recorded(Action::Protected), protectedPages);
    EXPECT_EQ(reporter.recorded(Action::LeftAlone).size(), 1u);
    EXPECT_EQ(reporter.recorded(Action::Copied).size(), 1u);
    for (const auto& record : reporter.records)
        EXPECT_TRUE(record.planned);
    EXPECT_EQ(reporter.ruleIndexes, (std::vector<int>{0, 2, 1, -1})) << "a, index, members/m, style.css";
}

TEST_F(RuleRunTest, ADryRunNamesAnOriginalInTheCopyTargetAsTheRunWould) {
    options.targetFolder = temp / "site/out";
    temp.write("site/out/original.html", page("mine"));
    const auto planned = run(siteRules(), true);
    const std::vector<std::string> skipped{temp / "site/out/original.html" + " -> "}; // no output
    EXPECT_EQ(reporter.recorded(Action::Skipped), skipped);
    const auto ran = run(siteRules());
    EXPECT_EQ(reporter.recorded(Action::Skipped), skipped) << "the run names it the same";
    EXPECT_EQ(planned.found, ran.found);
    EXPECT_EQ(readBytes(temp / "site/out/original.html"), page("mine"));
}

TEST_F(RuleRunTest, ADryRunInPlaceLeavesEveryPageAsItIs) {
    options.storageMode = StorageMode::Overwrite;
    options.targetFolder.clear();
    run(siteRules(), true);
    EXPECT_EQ(readBytes(temp / "site/a.html"), page("alpha"));
    EXPECT_FALSE(std::filesystem::exists(temp / "site/a.html.bak"));
    EXPECT_EQ(reporter.recorded(Action::Protected).size(), 2u);
}

TEST_F(RuleRunTest, HidingNothingStillAddsTheScripts) {
    engine::ProtectionOptions scriptsOnly = options;
    scriptsOnly.encryptionMode = EncryptionMode::None;
    scriptsOnly.scripts[engine::kScriptTextSelection] = true;
    const auto summary = run(RuleSet(scriptsOnly));
    EXPECT_EQ(summary.written, 4u);
    EXPECT_TRUE(holds("out/a.html", "<p>alpha</p><a href=\"mailto:me@example.com\">mail</a>"));
    EXPECT_TRUE(holds("out/a.html", kBootstrapStart));
}

} // namespace
} // namespace quillora::run
