#include "RunMessages.h"

#include "ErrorNumbers.h"
#include "KeyChangeRun.h"
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

std::string decryptFinished(const RunSummary& summary) {
    if (summary.written == 0 && summary.allDone())
        return "No encrypted pages found to decrypt";
    return std::to_string(summary.written) + (summary.written == 1 ? " page decrypted" : " pages decrypted");
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
    case Reason::UnlockTemplateUnreadable:
        return {"The unlock template " + refusal.path + " cannot be read: " + refusal.other};
    case Reason::UnlockTemplateRefused:
        return {"The unlock template " + refusal.path + " cannot be used: " + refusal.other};
    case Reason::KeyFileWrongPassword:
        return {"The password is not one of the passwords of the site key file " + refusal.path +
                "; please give one of them, or choose another key file"};
    case Reason::KeyFileMissing:
        return {"There is no site key file at " + refusal.path +
                "; passwords are added and removed, and the key changed, in the key file of a site that was "
                "encrypted: please choose it"};
    case Reason::KeyChangeRefused:
        return {refusal.other + " (site key file " + refusal.path + "; nothing was changed)"};
    case Reason::NoSuchLevel:
        return {"The site key file " + refusal.path + " has no access level \"" + refusal.other +
                "\"; please add the level with its password first, or choose another key file"};
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

std::string sharedScript(std::string_view path) {
    return "The unlock pages load their script from " + std::string(path) + ": publish it with them";
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

std::string labelTaken(std::string_view label) {
    return "Another password of the site is labelled \"" + std::string(label) + "\": please choose another label";
}

std::string noSuchSlot(std::string_view name, std::string_view names) {
    return "No password of the site is labelled \"" + std::string(name) +
           "\"; its passwords are: " + std::string(names);
}

std::string slotAmbiguous(std::string_view name) {
    return "Several passwords of the site are labelled \"" + std::string(name) +
           "\": please name one by its number (#1 for the first)";
}

std::string lastSlot(std::string_view name) {
    std::string text(1, '"');
    text += name;
    text += "\" is the site's only password, without which no page would open: please add another first";
    return text;
}

std::string slotsWithoutPasswordKey(std::string_view names) {
    return "The site's key cannot be changed yet: its key file was made by an earlier version and keeps what a new "
           "key needs only for the passwords given since. Please give each of these passwords once as the run's "
           "password, then change the key: " +
           std::string(names);
}

std::string pendingNotOpened(std::string_view pending) {
    return std::string(pending) +
           " holds a change of the site's key that was not finished, and the password is none of its passwords: "
           "please give one of them to finish it";
}

std::string levelTaken(std::string_view level) {
    return "The site has an access level \"" + std::string(level) +
           "\" already: add a password to it with --add-password --level " + std::string(level);
}

std::string noSuchLevel(std::string_view level, std::string_view levels) {
    return "The site has no access level \"" + std::string(level) + "\"" +
           (levels.empty() ? std::string(" (it has none)") : " (its levels: " + std::string(levels) + ")");
}

std::string pageOfOtherKey(std::string_view path) {
    return std::string(path) + ": sealed with another key than the site key file's (or damaged); left as it is";
}

std::string keyChanged(const KeyChangeSummary& summary) {
    std::string text;
    if (summary.finishedEarlier)
        text = "A change of the site's key that was interrupted was finished first.\r\n";
    const std::string level = "the access level \"" + summary.level + "\"";
    if (summary.levelAdded)
        text += "The site has a new access level \"" + summary.level +
                "\": its pages are encrypted with its key by the runs whose rules name it (level = \"" + summary.level +
                "\", or --level " + summary.level + ").";
    else if (summary.rotated)
        text += (summary.level.empty() ? std::string("The site") : "T" + level.substr(1)) +
                " has a new content key: " + std::to_string(summary.resealed) +
                " unlock pages were sealed again with it, and the key of the pages before no longer opens them.";
    else
        text += std::to_string(summary.resealed) + " unlock pages now carry " +
                (summary.level.empty() ? std::string("the site's passwords.") : "the passwords of " + level + ".");
    if (!summary.removedSlot.empty())
        text += " The password \"" + summary.removedSlot + "\" was removed" +
                (summary.rotated ? " and opens no page of the site any more." : ".");
    text += "\r\nThe site key file " + summary.keyFile + " holds the passwords" +
            (summary.level.empty() ? std::string() : " of \"" + summary.level + "\"") + ": ";
    for (std::size_t i = 0; i < summary.slots.size(); ++i)
        text += (i == 0 ? "" : ", ") + summary.slots[i];
    if (summary.otherKey > 0)
        text += "\r\n" + std::to_string(summary.otherKey) + " unlock pages of another key were left as they are.";
    return text;
}

std::string keyChangeIncomplete(const KeyChangeSummary& summary) {
    return std::to_string(summary.failed) + " pages or folders could not be read or written: the site key file " +
           summary.keyFile + " is as it was, and the new one waits in " + summary.keyFile +
           ".new. Every page opens in the browser with the passwords it carries; please run the change again to "
           "finish it.";
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
