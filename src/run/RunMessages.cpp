#include "RunMessages.h"

#include "ErrorNumbers.h"
#include "crypto/PasswordStrength.h"
#include "disk/DiskError.h"

namespace quillora::run::messages {

std::string filesProtected(std::size_t count) {
    return "The following " + std::to_string(count) + " files have been protected";
}

std::string filesRestored(std::size_t count) {
    return "The following " + std::to_string(count) + " files have been restored";
}

std::string restoreFinished(const RunSummary& summary) {
    if (summary.written == 0 && summary.allDone())
        return std::string(kNothingToRestore);
    return filesRestored(summary.written);
}

std::string protectedInPart(const engine::PageNotes& notes) {
    std::string text = "protected in part:";
    if (notes.linksLeftAsTheyAre)
        text += " links inside a template or an SVG or MathML drawing are left as they are";
    return text;
}

std::string waitingForLockedPage(std::string_view path, std::chrono::seconds bound) {
    std::string text(path);
    text += ": Locked by another program; waiting for it (at most " + std::to_string(bound.count()) + " s)";
    return text;
}

std::string unableToAccessFile(std::string_view path) {
    std::string text = "Unable to Access File: ";
    text.append(path);
    text.append(".");
    text.append(kLineBreak);
    text.append("The file may be read-only.");
    return text;
}

std::string unknownError(std::error_code error) {
    std::string text = "Unknown Error " + std::to_string(error.value());
    text.append(kLineBreak);
    text.append(error.message());
    return text;
}

Message pageProblem(const PageProblem& problem) {
    if (problem.error == disk::DiskError::NotARegularFile)
        return {problem.path + " is not a regular file (a pipe, a device or a socket); it was left alone",
                MessageIcon::Exclamation, MessageTitle::MainCaption};
    if (isOwnError(problem.error))
        return {problem.path + ": " + problem.error.message(), MessageIcon::Exclamation, MessageTitle::MainCaption};
    if (classifyError(problem.error) == ErrorNumber::PathFileAccess) {
        if (problem.step == PageProblem::Step::Backup)
            return {std::string(kBackupReadOnly), MessageIcon::None, MessageTitle::ApplicationTitle};
        return {unableToAccessFile(problem.path), MessageIcon::Exclamation, MessageTitle::ApplicationTitle};
    }
    return {unknownError(problem.error), MessageIcon::Exclamation, MessageTitle::MainCaption};
}

Message folderProblem(const PageProblem& problem) {
    return {problem.path + ": " + problem.error.message() + "; the pages in this folder were not protected",
            MessageIcon::Exclamation, MessageTitle::MainCaption};
}

Message refusal(const RunRefusal& refusal) {
    using Reason = RunRefusal::Reason;
    switch (refusal.reason) {
    case Reason::NothingPicked:
        return {std::string(kNothingPicked)};
    case Reason::PasswordMissing:
        return {std::string(kEnterPassword)};
    case Reason::PasswordNotScriptSafe:
        return {"Password: " + std::string(kNotScriptSafe)};
    case Reason::WarningNotScriptSafe:
        return {"Warning: " + std::string(kNotScriptSafe)};
    case Reason::AttributionNotScriptSafe:
        return {"Attribution: " + std::string(kNotScriptSafe)};
    case Reason::NoticeEndsComment:
        return {"Notice: --> or --!> not allowed (it would end the comment the notice stands in)"};
    case Reason::TargetFolderMissing:
        return {std::string(kChooseTargetFolder)};
    case Reason::TargetIsAPickedFolder:
        return {"The folder " + refusal.path +
                " is picked to be protected; please select another folder to copy the protected files to"};
    case Reason::EncryptionUnavailable:
        return {"The pages cannot be encrypted: " + refusal.path};
    case Reason::OutputIsAPickedPage:
        return {"The protected copy " + refusal.other + " would replace the picked page " + refusal.path +
                "; please select another folder to copy the protected files to"};
    case Reason::PasswordTooWeak:
        return {"The password is too weak to encrypt with: about " + refusal.path + " bits, and at least " +
                std::to_string(static_cast<int>(crypto::PasswordStrength::kFloorBits)) +
                " are needed. A longer password of several unrelated words is stronger."};
    case Reason::EncryptedBeside:
        return {"Encrypted pages are not written beside their originals: the originals would stay readable in the "
                "folder you publish. Please copy the pages to a new folder, or overwrite them (their originals are "
                "then kept outside the picked folders)."};
    case Reason::TargetNotAFolder:
        return {"The target " + refusal.path +
                " is not a folder; please select a folder to copy the protected files to"};
    case Reason::OutputsClash:
        return {refusal.path + " and " + refusal.other + " would both be copied to " + refusal.output +
                ", and the second would replace the first; please copy the picked folders one at a time, or into "
                "different folders"};
    case Reason::BackupFolderInside:
        return {"The folder for the originals, " + refusal.path + ", lies within the picked folder " + refusal.other +
                ", where they would be published with the pages; please choose a folder outside it"};
    case Reason::BackupFolderNotAFolder:
        return {"The folder for the originals, " + refusal.path + ", is not a folder; please choose a folder"};
    case Reason::NoPlaceForOriginals:
        return {"The originals of the pages in " + refusal.path +
                " cannot be kept beside it; please choose a folder for the originals"};
    case Reason::NoPlaceForKeyFile:
        return {"The site key file cannot be kept beside " + refusal.path + "; please choose where it goes"};
    case Reason::KeyFileInside:
        return {"The site key file " + refusal.path + " lies within " + refusal.other +
                ", where it would be published with the pages; please keep it outside"};
    case Reason::KeyFileUnreadable:
        return {"The site key file " + refusal.path + " cannot be read: " + refusal.other};
    case Reason::KeyFileUnwritable:
        return {"The site key file " + refusal.path + " cannot be written: " + refusal.other};
    case Reason::KeyFileWrongPassword:
        return {"The password is not one of the passwords of the site key file " + refusal.path +
                "; please give one of them, or choose another key file"};
    }
    return {};
}

std::string alreadyProtected(std::string_view path) {
    return std::string(path) + " is already protected";
}

std::string otherFilesCopied(std::size_t copied, std::size_t failed) {
    std::string text = std::to_string(copied) + " other files of the site were copied";
    if (failed > 0)
        text += ", " + std::to_string(failed) + " could not be copied";
    return text;
}

std::string originalsKept(std::string_view folder) {
    return "The originals are kept in " + std::string(folder);
}

std::string keyFileUsed(std::string_view path, KeyFileOrigin origin) {
    const std::string file(path);
    switch (origin) {
    case KeyFileOrigin::Read:
        return "The pages are sealed with the site key in " + file;
    case KeyFileOrigin::Made:
        return "The site key file " + file +
               " was made: later runs read it so that visitors stay unlocked. Keep it, with a copy somewhere safe, "
               "and never publish it.";
    case KeyFileOrigin::Remade:
        return "The site key file " + file +
               " was missing and was made again from the unlock pages (the labels of its passwords are lost)";
    }
    return {};
}

std::string policyFile(std::string_view path, bool besideOwn, std::error_code error) {
    if (error)
        return "Could not write the Content-Security-Policy file " + std::string(path) + ": " + error.message();
    std::string text = "The Content-Security-Policy of each page, for hosts that set headers: " + std::string(path);
    if (besideOwn)
        text += " (the site's own _headers file was left as it is: add these blocks to it)";
    return text;
}

std::string pageTextFiles(bool copied) {
    return copied ? "These files were copied with the pages and may hold their text in clear:"
                  : "These files beside the pages may hold their text in clear:";
}

std::string readableByDesign(const ReadableByDesign& readable) {
    std::string text = "Readable by design: ";
    text += readable.ownTitles ? "each page's title" : "the title chosen for the unlock pages";
    if (readable.notice)
        text += ", the notice";
    text += ", the file names and sizes";
    if (!readable.copied)
        text += ", and the other files beside the pages";
    else if (readable.otherFiles > 0)
        text += ", and the " + std::to_string(readable.otherFiles) + " other files copied with the pages";
    return text;
}

} // namespace quillora::run::messages
