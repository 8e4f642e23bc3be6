#pragma once

#include "FileEntry.h"
#include "RuleSet.h"
#include "engine/PageNotes.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace quillora::run {

enum class MessageIcon { None, Information, Exclamation, Error };

/// Which title a message box carries: the main window's caption or the application's title.
enum class MessageTitle { MainCaption, ApplicationTitle };

/// Why a run did not start; nothing was read or written.
struct RunRefusal {
    enum class Reason {
        NothingPicked,
        PasswordMissing,       // the password prompt (or encryption) is chosen with a blank password
        PasswordNotScriptSafe, // the prompt's password holds a quote or a backslash
        WarningNotScriptSafe,  // the right-click warning holds a quote or a backslash
        // The copy attribution holds a quote or a backslash.
        AttributionNotScriptSafe,
        NoticeEndsComment,        // the notice holds "-->" or "--!>", which would end its comment early
        TargetFolderMissing,      // copy mode without a target folder
        TargetIsAPickedFolder,    // copy mode into a folder that is itself picked
        OutputIsAPickedPage,      // copy mode: an output would replace a picked page (path: the page, other: output)
        EncryptionUnavailable,    // the run's key could not be made (path: why)
        PasswordTooWeak,          // an encrypted run's password is below the strength floor (path: its bits)
        EncryptedBeside,          // an encrypted run writing beside the originals, which would stay readable there
        TargetNotAFolder,         // copy mode into a path that is a file, or lies below one (path: the target)
        OutputsClash,             // copy mode: two files would land on one output (path, other: them; output)
        BackupFolderInside,       // the originals' folder lies within a picked folder (path: it, other: the picked one)
        BackupFolderNotAFolder,   // the originals' folder is a file, or lies below one (path: it)
        NoPlaceForOriginals,      // a picked folder has no folder above it to keep its originals beside (path)
        NoPlaceForKeyFile,        // the first picked folder has no folder above it to keep the key file beside (path)
        KeyFileInside,            // the key file lies within what is published (path: it, other: the folder)
        KeyFileUnreadable,        // the key file is there and cannot be read as one (path: it, other: why)
        KeyFileUnwritable,        // the new key file could not be written (path: it, other: why)
        KeyFileWrongPassword,     // the password opens none of the key file's slots (path: it)
        KeyFileMissing,           // a change of the site's passwords or key without its key file (path: where)
        KeyChangeRefused,         // the key file does not allow the change asked for (path: it, other: why, worded)
        NoSuchLevel,              // a rule's access level is not in the key file (path: it, other: the level)
        UnlockTemplateUnreadable, // the unlock template cannot be read (path: it, other: why)
        UnlockTemplateRefused,    // the unlock template cannot make unlock pages (path: it, other: why)
    };
    Reason reason;
    std::string path;
    std::string other;
    std::string output = {}; // may be left out of an initialiser
};

/// What an encrypted run leaves readable on purpose, said once at its end.
struct ReadableByDesign {
    bool ownTitles = true;      // each unlock page shows its page's title (else one title chosen for all)
    bool notice = false;        // the notice stands in every page
    std::size_t otherFiles = 0; // copy mode: the site's other files copied beside the pages
    bool copied = false;        // a copy (else the pages were written where they are)
};

/// How an encrypted run came by the site's key file.
enum class KeyFileOrigin {
    Read,   // the file was there, and the password opens one of its slots
    Made,   // the first encrypted run of the site made it
    Remade, // it was missing and was made again from the slots of unlock pages the password opens
};

/// What went wrong with one page, for the front end to word.
struct PageProblem {
    enum class Step { Read, Backup, Write };
    Step step = Step::Read;
    std::error_code error;
    std::string path; // the file the failure concerns: the page, its backup or its output
};

/// What a run came to, for a front end's exit status and closing words.
struct RunSummary {
    enum class Outcome { Ran, Refused };
    Outcome outcome = Outcome::Ran;
    std::size_t found = 0;            // distinct pages found (frame pages included once reached)
    std::size_t written = 0;          // pages written and listed
    std::size_t alreadyProtected = 0; // pages that carried the protection already and were left alone
    std::size_t skipped = 0;          // names that were not regular files, left alone
    std::size_t givenUp = 0;          // pages reported and not written
    std::size_t protectedInPart = 0;  // pages written with something the mode hides left as it stands
    std::size_t otherFilesCopied = 0; // copy mode: the site's other files
    std::size_t otherFilesFailed = 0;
    std::size_t leftAlone = 0;           // pages a rule leaves as they are (copy mode: copied as they are)
    std::size_t unchanged = 0;           // incremental copy: files found as the last run left them
    std::size_t removed = 0;             // incremental copy: files the last run wrote for sources that are gone
    bool stopped = false;                // asked to stop, the run left work undone
    std::size_t notReached = 0;          // pages a stopped run left exactly as they were
    std::size_t otherFilesNotCopied = 0; // copy mode: other files a stopped run did not copy

    bool allDone() const {
        return skipped == 0 && givenUp == 0 && otherFilesFailed == 0 && protectedInPart == 0 && notReached == 0 &&
               otherFilesNotCopied == 0;
    }
};

/// What became of one file of a run (or, in a dry run, what would), with the rule that decided it: for the reports
/// that list every file. Paths are native; output is empty where nothing is (or would be) written.
struct PageRecord {
    enum class Action {
        Protected,        // written protected (a frameset as it is, its frames protected)
        LeftAlone,        // a rule leaves it as it is (copy mode: copied as it is)
        AlreadyProtected, // it carried the protection already
        Skipped,          // not a regular file
        GivenUp,          // it could not be done; problem says why
        Copied,           // another file of the site, copied
        CopyFailed,       // another file of the site that could not be copied
        Unchanged,        // an incremental copy found its output as the last run left it, from the same source
        Removed,          // an incremental copy removed what the last run wrote for a source that is gone
    };
    Action action = Action::Protected;
    bool isPage = true;
    bool planned = false; // a dry run: nothing was read or written
    std::string source;
    std::string output;
    const PageRule* rule = nullptr; // pages only; valid during the call
    std::optional<PageProblem> problem;
    engine::PageNotes notes; // Protected: what the protection left as it stands
};

/// What a protection run tells its front end (the window or the command line), event by event in the run's order;
/// each front end words them. Texts are UTF-8 and paths native. Calls come from one thread at a time (not always
/// the one that started the run); an event's call returns only once the front end has dealt with it.
class RunReporter {
public:
    virtual ~RunReporter() = default;

    /// A run begins: the results list is cleared.
    virtual void runStarted() {}
    /// The choices do not allow a run; it ends here.
    virtual void runRefused(const RunRefusal& refusal) = 0;
    /// The selection is being expanded into the list of pages.
    virtual void scanning() {}
    /// The list is complete (0: no page was found).
    virtual void pagesFound(std::size_t found) { (void)found; }
    /// A page was written to outputPath; the entry names the output as the results list shows it.
    virtual void pageWritten(const FileEntry& entry, const std::string& outputPath) = 0;
    /// The page just written is protected in part: the notes say what stayed as it stands.
    virtual void pageProtectedInPart(const FileEntry& entry, const engine::PageNotes& notes) {
        (void)entry;
        (void)notes;
    }
    /// A page already carries the protection and was left as it is (its backup too); the entry names the page.
    virtual void pageAlreadyProtected(const FileEntry& entry) = 0;
    /// A folder below a picked one could not be listed; the pages in it are not protected.
    virtual void folderSkipped(const std::string& folder, const PageProblem& problem) = 0;
    /// A name that is not a regular file (pipe, device, socket) was left alone without reading it.
    virtual void pageSkipped(const FileEntry& entry, const PageProblem& problem) = 0;
    /// A page could not be protected; the original is as it was.
    virtual void pageGivenUp(const FileEntry& entry, const PageProblem& problem) = 0;
    /// Another program holds the page locked: the run waits for it, at most for bound, and then gives it up.
    virtual void waitingForPage(const FileEntry& entry, std::chrono::seconds bound) {
        (void)entry;
        (void)bound;
    }
    /// Another file of the site could not be copied (copy mode).
    virtual void otherFileFailed(const std::string& path, const PageProblem& problem) {
        (void)path;
        (void)problem;
    }
    /// An encrypted run seals the pages with the content key of the site key file at path (said before the first page).
    virtual void keyFileUsed(const std::string& path, KeyFileOrigin origin) {
        (void)path;
        (void)origin;
    }
    /// A change of the site's passwords or key found an unlock page that the site's key does not open (or whose data
    /// do not read), and left it as it is.
    virtual void pageOfOtherKey(const FileEntry& entry) { (void)entry; }
    /// An encrypted run keeps the originals of the pages it replaced in this folder (said once, with its first page).
    virtual void originalsKept(const std::string& folder) { (void)folder; }
    /// The script the unlock pages of a site share was written to path (it is published with them).
    virtual void sharedScript(const std::string& path) { (void)path; }
    /// A strict run wrote the Content-Security-Policy of its pages, for hosts that set headers, to path (beside the
    /// site's own "_headers" when besideOwn), or could not (error).
    virtual void policyFile(const std::string& path, bool besideOwn, std::error_code error) {
        (void)path;
        (void)besideOwn;
        (void)error;
    }
    /// Files that may hold the pages' text in clear, at the end of the run: copied with the pages (copied), or beside
    /// the pages an encrypted run replaced where they are.
    virtual void pageTextFiles(const std::vector<std::string>& paths, bool copied) {
        (void)paths;
        (void)copied;
    }
    /// An encrypted run is over; what stays readable in what it wrote.
    virtual void readableByDesign(const ReadableByDesign& readable) { (void)readable; }
    /// The run was asked to stop before it reached this page: the page is exactly as it was.
    virtual void pageNotReached(const FileEntry& entry) { (void)entry; }
    /// Pages handled so far out of the pages found; after the scan and after each page.
    virtual void progressChanged(std::size_t done, std::size_t found) {
        (void)done;
        (void)found;
    }
    /// What became of one file, after the event above that tells it (every file of a dry run, which has no other).
    virtual void pageRecorded(const PageRecord& record) { (void)record; }
    /// The run is over.
    virtual void runFinished(const RunSummary& summary) { (void)summary; }
};

} // namespace quillora::run
