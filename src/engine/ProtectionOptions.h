#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace quillora::engine {

/// Where the protected pages are written (the storage option buttons, by index).
enum class StorageMode { Overwrite = 0, CopyToFolder = 1, CreateProtected = 2 };

/// How much of each page is hidden behind writer calls (the encryption option buttons, by index). None hides
/// nothing: the page gets the behaviour scripts, the notice or the encryption alone (a project file's rules).
enum class EncryptionMode { EmailLinks = 0, AllLinks = 1, BodyOnly = 2, WholePage = 3, None = 4 };

/// Indices of the behaviour-script check boxes; 2, 7 and 8 belong to no option.
enum ScriptIndex : std::size_t {
    kScriptRightClick = 0,
    kScriptTextSelection = 1,
    kScriptStatusBar = 3,
    kScriptPrinting = 4,
    kScriptClipboard = 5,
    kScriptDragDrop = 6,
    kScriptBreakFrames = 9,
    kScriptImageToolbar = 10,
    kScriptShortcuts = 11,       // Ctrl/Cmd+C, S, P and U refused outside form fields
    kScriptCopyAttribution = 12, // the copied text carries an attribution and the page's address
};
inline constexpr std::size_t kScriptCount = 13;

/// The default notice text offered on the Store Files page.
inline constexpr char16_t kDefaultNoticeText[] = u"Copyright (c) 2005 www.example.com - All Rights Reserved.";
/// The default right-click warning text.
inline constexpr char16_t kDefaultRightClickWarning[] = u"This page is protected!";
/// The default attribution put after copied text, before the page's address.
inline constexpr char16_t kDefaultCopyAttribution[] = u"Source:";
/// The default texts of the page that asks for the password of an encrypted page.
inline constexpr char16_t kDefaultUnlockPrompt[] = u"Enter the password to open this page";
inline constexpr char16_t kDefaultUnlockButton[] = u"Open";
inline constexpr char16_t kDefaultWrongPassword[] = u"Wrong password. Please try again.";
/// The longest a browser may be asked to remember a site's key.
inline constexpr int kMaxRememberDays = 3650;

/// The choices one protection run reads. The window and the command line fill it; the engine only reads it.
struct ProtectionOptions {
    StorageMode storageMode = StorageMode::Overwrite;
    bool makeBackups = true; // overwrite mode only
    // An encrypted overwrite run with backups: where the originals go instead of beside the picked folder (their
    // absolute paths mirrored below it); empty: "<picked folder>.originals" beside each picked folder.
    std::string backupFolder;
    std::string targetFolder;   // copy mode only, a native path taken as typed
    bool copyOtherFiles = true; // copy mode only: the site's images, style sheets and scripts go along
    bool insertNotice = false;
    std::u16string noticeText = kDefaultNoticeText;
    EncryptionMode encryptionMode = EncryptionMode::BodyOnly;
    bool passwordProtect = false;
    std::u16string password;
    // With passwordProtect: each page is encrypted with the password, in place of the prompt script.
    bool encrypt = false;
    // With encrypt: hide what encryptionMode says inside the sealed page too. Hiding adds nothing that encryption
    // does not give and makes each page about three times larger, so it is done only when asked for.
    bool hideWhenEncrypting = false;
    // The site's key file (its content key wrapped under each password); empty: beside the first picked folder.
    std::string keyFile;
    // With encrypt: the access level of the site key whose content key seals the page; empty: the site's own key.
    std::string keyLevel;
    int rememberDays = 0;           // how long a browser keeps the key; 0: for the browser session only
    bool allowWeakPassword = false; // encrypt even with a password below the strength floor
    // The unlock pages show this title instead of each page's own (which stays readable in them).
    bool replaceTitle = false;
    std::u16string unlockTitle;
    std::u16string unlockPrompt = kDefaultUnlockPrompt;
    std::u16string unlockButton = kDefaultUnlockButton;
    std::u16string wrongPassword = kDefaultWrongPassword;
    // The user's own unlock page (HTML with placeholders), a native path; empty: the built-in one.
    std::string unlockTemplate;
    std::array<bool, kScriptCount> scripts{}; // addressed by ScriptIndex
    bool showRightClickWarning = false;
    // Pages that run under a strict Content-Security-Policy (scripts from the site and by their hashes only): a
    // bootstrap without eval, and each page's policy in a META tag and in a file for hosts that set headers.
    bool strictCsp = false;
    std::u16string rightClickWarning = kDefaultRightClickWarning;
    // With kScriptCopyAttribution: put after the copied text, followed by the page's address.
    std::u16string copyAttribution = kDefaultCopyAttribution;

    bool script(ScriptIndex i) const { return scripts[i]; }
};

} // namespace quillora::engine
