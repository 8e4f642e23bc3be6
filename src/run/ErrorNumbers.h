#pragma once

#include <string>
#include <system_error>

namespace quillora::run {

/// The classic error numbers the run's messages are told apart by.
enum class ErrorNumber {
    None = 0,
    InvalidArgument = 5, // invalid procedure call or argument
    FileNotFound = 53,
    PathFileAccess = 75, // path/file access error: access refused, read-only
    Other = -1,          // reported with the system's own number and description
};

/// The classic number of a system error.
ErrorNumber classifyError(std::error_code error);

/// Failures the run finds itself, beside the system's.
enum class RunError {
    OutputIsAPickedPage = 1, // the output would replace a page the run reads
    BackupIsProtected,       // the backup holds a protected page, not an original (restoring)
    NoBackup,                // there is no backup to restore
    NotAPage,                // a file picked on its own whose name is not a page's
    OtherKey,                // an unlock page that the run's password does not open
    BackupIsALink,           // the backup's name holds a symbolic link, which is never written through nor restored
    OutputIsALink,           // the output's name (beside the page, or in the copy) holds a symbolic link
    LockedTooLong,           // another program held the page's lock for longer than the run waits
    InTheCopyTarget,         // the page lies in the folder the pages are copied to (copy mode)
    PolicyMismatch,          // the protected page runs a script its strict policy does not allow
    NotOpened,               // an unlock page that the password given does not open (decrypting)
    Damaged,                 // an unlock page whose key the password opens but whose page does not open (decrypting)
    OutputExists,            // a file stands where a new one would be written (decrypting into a folder)
};

const std::error_category& runErrorCategory();
std::error_code make_error_code(RunError error);

/// True for the failures the run and the disk find themselves, which carry their own words (not the system's).
bool isOwnError(std::error_code error);

} // namespace quillora::run

template <> struct std::is_error_code_enum<quillora::run::RunError> : std::true_type {};
