#pragma once

#include "RunReporter.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace quillora::run {

struct KeyChangeSummary;

/// The texts of the run's events, in the status label and in message boxes (UTF-8; line breaks are CR LF), for the
/// front ends to show.
namespace messages {

inline constexpr std::string_view kNothingPickedLabel = "No files were picked to be protected.";
inline constexpr std::string_view kNothingPicked = "No files were picked to be protected";
inline constexpr std::string_view kEnterPassword = "Please Enter a Password";
inline constexpr std::string_view kChooseTargetFolder = "Please Select a Folder to Copy the Protected Files To";
inline constexpr std::string_view kScanning = "Scanning for files, please wait...";
inline constexpr std::string_view kNoFilesFound = "No files found to protect";
inline constexpr std::string_view kNothingToRestore = "No protected files with backups found to restore";
inline constexpr std::string_view kBackupReadOnly = "Unable to Access File, Your file(s) may be read-only.";
inline constexpr std::string_view kLineBreak = "\r\n";
inline constexpr std::string_view kNotScriptSafe = "\\ \" or ' not allowed";

/// "The following N files have been protected".
std::string filesProtected(std::size_t count);
/// "The following N files have been restored".
std::string filesRestored(std::size_t count);
/// The closing line of a restore: the count restored, or that nothing needed it (no page failed either).
std::string restoreFinished(const RunSummary& summary);
/// The line that ends a run that decrypts: how many originals were written back, or that none was found.
std::string decryptFinished(const RunSummary& summary);
/// "Unable to Access File: " path "." CR LF "The file may be read-only."
std::string unableToAccessFile(std::string_view path);
/// "Unknown Error " number CR LF description.
std::string unknownError(std::error_code error);

/// One message box: text, icon and title.
struct Message {
    std::string text;
    MessageIcon icon = MessageIcon::Exclamation;
    MessageTitle title = MessageTitle::MainCaption;

    bool operator==(const Message&) const = default;
};

/// The message box for a page that was given up or skipped.
Message pageProblem(const PageProblem& problem);
/// The message box for a folder that could not be listed.
Message folderProblem(const PageProblem& problem);
/// The message box for a run that was refused.
Message refusal(const RunRefusal& refusal);
/// The status line of a page left as it was because it is protected already.
std::string alreadyProtected(std::string_view path);
/// What a page protected in part left as it stands: "protected in part: " and the reason.
std::string protectedInPart(const engine::PageNotes& notes);
/// What a run says while it waits for a page another program holds locked, at most bound long.
std::string waitingForLockedPage(std::string_view path, std::chrono::seconds bound);
/// The closing line of a copy run about the site's other files.
std::string otherFilesCopied(std::size_t copied, std::size_t failed);
/// "The originals are kept in " folder.
std::string originalsKept(std::string_view folder);
/// The line that names the script the unlock pages of a site share.
std::string sharedScript(std::string_view path);
/// The line that names the file with the pages' Content-Security-Policy for hosts that set headers (or says it
/// could not be written).
std::string policyFile(std::string_view path, bool besideOwn, std::error_code error);
/// The line before the list of files that may hold the pages' text in clear.
std::string pageTextFiles(bool copied);
/// The closing line of an encrypted run: what stays readable by design.
std::string readableByDesign(const ReadableByDesign& readable);
/// The site key file an encrypted run used, and how it came by it.
std::string keyFileUsed(std::string_view path, KeyFileOrigin origin);

/// Why a change of the site's passwords is refused (each worded for RunRefusal::Reason::KeyChangeRefused).
std::string labelTaken(std::string_view label);
inline constexpr std::string_view kPasswordTaken = "The new password is one of the site's passwords already";
std::string noSuchSlot(std::string_view name, std::string_view names);
std::string slotAmbiguous(std::string_view name);
std::string lastSlot(std::string_view name);
std::string slotsWithoutPasswordKey(std::string_view names);
std::string pendingNotOpened(std::string_view pending);
std::string levelTaken(std::string_view level);
std::string noSuchLevel(std::string_view level, std::string_view levels);
/// The line about an unlock page that a change of the site's key left as it is.
std::string pageOfOtherKey(std::string_view path);
/// The closing lines of a change of the site's passwords or key that was done.
std::string keyChanged(const KeyChangeSummary& summary);
/// The closing lines of one that could not write every page.
std::string keyChangeIncomplete(const KeyChangeSummary& summary);

} // namespace messages
} // namespace quillora::run
