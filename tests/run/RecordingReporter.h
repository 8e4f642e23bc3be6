#pragma once

#include "DiskTestSupport.h"
#include "run/RunMessages.h"
#include "run/RunReporter.h"

#include <string>
#include <utility>
#include <vector>

namespace quillora::run::test {

// The disk's test helpers serve the run's tests as well.
using disk::test::FaultyFileSystem;
using disk::test::permissionsOf;
using disk::test::readBytes;
using disk::test::TempFolder;
using disk::test::writeBytes;
using disk::test::writeLeftover;

/// Records everything a run tells its front end.
class RecordingReporter : public RunReporter {
public:
    struct Problem {
        run::FileEntry page;
        PageProblem problem;
        bool skipped;
    };

    void runStarted() override { ++runsStarted; }
    void runRefused(const RunRefusal& refusal) override { refusals.push_back(refusal); }
    void scanning() override { events.emplace_back("scanning"); }
    void pagesFound(std::size_t count) override { events.push_back("found " + std::to_string(count)); }
    void pageWritten(const run::FileEntry& entry, const std::string& outputPath) override {
        written.push_back(entry);
        outputs.push_back(outputPath);
        events.push_back("written " + outputPath);
    }
    void pageProtectedInPart(const run::FileEntry& entry, const engine::PageNotes& notes) override {
        events.push_back("in part " + entry.fullPath() + ": " + messages::protectedInPart(notes));
    }
    void pageAlreadyProtected(const run::FileEntry& entry) override {
        alreadyProtected.push_back(entry.fullPath());
        events.push_back("already " + entry.fullPath());
    }
    void folderSkipped(const std::string& folder, const PageProblem& problem) override {
        skippedFolders.push_back(folder);
        events.push_back("folder skipped " + folder + ": " + problem.error.message());
    }
    void pageSkipped(const run::FileEntry& entry, const PageProblem& problem) override {
        problems.push_back({entry, problem, true});
        events.push_back("skipped " + entry.fullPath());
    }
    void pageGivenUp(const run::FileEntry& entry, const PageProblem& problem) override {
        problems.push_back({entry, problem, false});
        events.push_back("given up " + entry.fullPath());
    }
    void otherFileFailed(const std::string& path, const PageProblem& problem) override {
        otherFailures.emplace_back(path, problem);
        events.push_back("other failed " + path);
    }
    void keyFileUsed(const std::string& path, KeyFileOrigin origin) override {
        keyFiles.emplace_back(path, origin);
        events.push_back("key file " + path);
    }
    void pageOfOtherKey(const run::FileEntry& entry) override {
        otherKeyPages.push_back(entry.fullPath());
        events.push_back("other key " + entry.fullPath());
    }
    void originalsKept(const std::string& folder) override {
        originalsFolders.push_back(folder);
        events.push_back("originals in " + folder);
    }
    void policyFile(const std::string& path, bool besideOwn, std::error_code error) override {
        events.push_back(messages::policyFile(path, besideOwn, error));
    }
    void pageTextFiles(const std::vector<std::string>& paths, bool copied) override {
        pageText = paths;
        pageTextCopied = copied;
    }
    void readableByDesign(const ReadableByDesign& what) override { readable.push_back(what); }
    void pageNotReached(const run::FileEntry& entry) override {
        notReached.push_back(entry.fullPath());
        events.push_back("not reached " + entry.fullPath());
    }
    void progressChanged(std::size_t done, std::size_t found) override { progress.emplace_back(done, found); }
    void runFinished(const RunSummary& summary) override { finished.push_back(summary); }
    void pageRecorded(const PageRecord& record) override {
        records.push_back(record);
        records.back().rule = nullptr; // valid during the call only
        ruleIndexes.push_back(record.rule == nullptr ? -1 : static_cast<int>(record.rule->index));
    }
    /// The records of one action, as "source -> output".
    std::vector<std::string> recorded(PageRecord::Action action) const {
        std::vector<std::string> lines;
        for (const auto& record : records) {
            if (record.action == action)
                lines.push_back(record.source + " -> " + record.output);
        }
        return lines;
    }

    /// The words of the refusals, one a line.
    std::string refusalText() const {
        std::string text;
        for (const auto& refusal : refusals)
            text += messages::refusal(refusal).text + '\n';
        return text;
    }

    /// The message boxes the window would show for the problems, in order.
    std::vector<messages::Message> messages() const;

    int runsStarted = 0;
    std::vector<RunRefusal> refusals;
    std::vector<std::string> events;
    std::vector<run::FileEntry> written;
    std::vector<std::string> outputs;
    std::vector<std::string> alreadyProtected;
    std::vector<Problem> problems;
    std::vector<std::string> skippedFolders;
    std::vector<std::pair<std::string, PageProblem>> otherFailures;
    std::vector<std::string> notReached;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    std::vector<RunSummary> finished;
    std::vector<PageRecord> records;
    std::vector<int> ruleIndexes; // of each record's rule, -1 for none
    std::vector<std::string> originalsFolders;
    std::vector<std::pair<std::string, KeyFileOrigin>> keyFiles;
    std::vector<std::string> pageText;
    std::vector<std::string> otherKeyPages;
    bool pageTextCopied = false;
    std::vector<ReadableByDesign> readable;
};

} // namespace quillora::run::test
