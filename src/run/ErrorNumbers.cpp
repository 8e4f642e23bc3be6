#include "ErrorNumbers.h"

#include "disk/DiskError.h"

#include <cerrno>

namespace quillora::run {

namespace {

class RunErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "quillora"; }
    std::string message(int value) const override {
        switch (static_cast<RunError>(value)) {
        case RunError::OutputIsAPickedPage:
            return "The output would replace a page that is being protected";
        case RunError::BackupIsProtected:
            return "The backup is itself protected";
        case RunError::NoBackup:
            return "There is no backup";
        case RunError::NotAPage:
            return "Not a page (only .htm and .html files are rewritten)";
        case RunError::OtherKey:
            return "Encrypted with another password or key; to encrypt it with this password, restore its original "
                   "(--restore on the command line, Restore Originals in the window) and encrypt it again";
        case RunError::BackupIsALink:
            return "The backup is a symbolic link";
        case RunError::OutputIsALink:
            return "The output is a symbolic link";
        case RunError::LockedTooLong:
            return "Locked by another program; left as it is";
        case RunError::InTheCopyTarget:
            return "Lies in the folder the pages are copied to";
        case RunError::PolicyMismatch:
            return "Its scripts do not match the Content-Security-Policy written for it";
        case RunError::NotOpened:
            return "The password does not open it (encrypted with another password or key)";
        case RunError::Damaged:
            return "Damaged: the password opens the site's key, but not this page, which was changed after it was "
                   "written";
        case RunError::OutputExists:
            return "A file stands there already; it is not replaced";
        }
        return "Unknown error";
    }
};

} // namespace

const std::error_category& runErrorCategory() {
    static const RunErrorCategory category;
    return category;
}

std::error_code make_error_code(RunError error) {
    return {static_cast<int>(error), runErrorCategory()};
}

bool isOwnError(std::error_code error) {
    return error.category() == runErrorCategory() || error.category() == disk::diskErrorCategory();
}

ErrorNumber classifyError(std::error_code error) {
    if (!error)
        return ErrorNumber::None;
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return ErrorNumber::Other;
    switch (error.value()) {
    case ENOENT:
        return ErrorNumber::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorNumber::PathFileAccess;
    case EINVAL:
        return ErrorNumber::InvalidArgument;
    default:
        return ErrorNumber::Other;
    }
}

} // namespace quillora::run
