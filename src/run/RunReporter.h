#pragma once

#include "engine/FileEntry.h"

#include <cstddef>
#include <string>

namespace quillora::run {

enum class MessageIcon { None, Information, Exclamation, Error };

/// Which title a message box carries: the main window's caption or the application's title.
enum class MessageTitle { MainCaption, ApplicationTitle };

/// What a protection run tells its front end (the window or the command line). Texts are UTF-8.
/// Every call comes from the thread the run executes on; showMessage returns only once the user has seen it.
class RunReporter {
public:
    virtual ~RunReporter() = default;

    /// The status label's text changed.
    virtual void statusChanged(const std::string& text) = 0;
    /// A page was written; the entry names the output as the results tree lists it.
    virtual void fileWritten(const engine::FileEntry& entry) = 0;
    /// A message box (OK button only).
    virtual void showMessage(const std::string& text, MessageIcon icon, MessageTitle title) = 0;
    /// The password is chosen but empty: the window goes back to the Encryption page and the password box.
    virtual void returnToPasswordPage() = 0;
    /// Pages handled so far out of the pages found; called after the scan and after each page.
    virtual void progressChanged(std::size_t done, std::size_t found) {
        (void)done;
        (void)found;
    }

    /// A run begins: the results list is cleared (and viewing a result is disabled until one is selected).
    virtual void runStarted() {}
    /// Copy mode was chosen without a target folder: the window goes back to the Store Files page.
    virtual void returnToStoragePage() {}
    /// A page was written to outputPath (the path as written, separators collapsed). The default tells
    /// fileWritten, which is all a results list needs.
    virtual void pageWritten(const engine::FileEntry& entry, const std::string& outputPath) {
        (void)outputPath;
        fileWritten(entry);
    }
};

} // namespace quillora::run
