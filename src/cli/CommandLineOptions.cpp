#include "CommandLineOptions.h"

#include "engine/TextConvert.h"
#include "run/RunMessages.h"
#include "run/TextRules.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <map>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION "unknown"
#endif

namespace quillora::cli {

namespace {

const std::map<std::string, engine::EncryptionMode> kHideModes = {
    {"email-links", engine::EncryptionMode::EmailLinks},
    {"links", engine::EncryptionMode::AllLinks},
    {"body", engine::EncryptionMode::BodyOnly},
    {"page", engine::EncryptionMode::WholePage},
};

/// The run's rule for the texts that go into generated scripts, checked as the options are read.
const CLI::Validator kScriptSafeText(
    [](const std::string& text) -> std::string {
        return run::IsScriptSafeText(engine::fromUtf8(text)) ? std::string()
                                                             : std::string(run::messages::kNotScriptSafe);
    },
    "");

/// A notice stands in an HTML comment, which "-->" or "--!>" would end early.
const CLI::Validator kNoticeSafeText(
    [](const std::string& text) -> std::string {
        return run::IsNoticeSafeText(engine::fromUtf8(text)) ? std::string() : std::string("--> or --!> not allowed");
    },
    "");

/// A picked path as the selection tree would hold it: absolute, without "." and ".." steps.
std::string pickedPath(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace

CommandLineOptions::CommandLineOptions()
    : m_app(std::make_unique<CLI::App>(
          "Rewrites web pages (.htm and .html files) so that their markup travels as percent-escaped writer "
          "calls, decoded in the browser. Prints the path of each page written.",
          "quillora-cli")) {
    m_app->set_version_flag("--version", std::string("quillora-cli ") + QUILLORA_VERSION);
    m_app->add_option("PATH", m_paths, "A page file or a folder of them (searched with its subfolders), in order")
        ->required()
        ->check(CLI::Validator(CLI::ExistingPath).description(""))
        ->type_name("");
    addStorageOptions();
    addPageOptions();
    addScriptOptions();
    m_app->add_flag("-q,--quiet", m_quiet,
                    "Print only the written paths and the messages (no status texts, no progress line)");
    m_app->add_flag("--print0", m_print0, "End each written path with a NUL character instead of a line end");
}

CommandLineOptions::~CommandLineOptions() = default;

void CommandLineOptions::addStorageOptions() {
    auto* overwrite = m_app->add_flag("--overwrite", m_overwrite,
                                      "Overwrite the picked pages (the default), after a .bak backup of each");
    auto* noBackup = m_app->add_flag("--no-backup", m_noBackup, "With --overwrite: make no .bak backups");
    auto* copyTo = m_copyToOption =
        m_app
            ->add_option("--copy-to", m_copyTo,
                         "Write the pages into folder DIR, keeping the structure below each picked folder")
            ->type_name("DIR");
    auto* beside = m_app->add_flag("--beside", m_beside, "Write each page beside its source as protected_<name>");
    auto* pagesOnly = m_app->add_flag("--pages-only", m_pagesOnly,
                                      "With --copy-to: copy only the pages, not the site's other files (images, style "
                                      "sheets, scripts)");
    pagesOnly->needs(copyTo);
    auto* restore = m_app->add_flag("--restore", m_restore,
                                    "Put the originals back: each protected page below PATH with its .bak beside it "
                                    "gets its backup back (the .bak is gone afterwards)");
    restore->excludes(copyTo)->excludes(beside)->excludes(noBackup)->excludes(overwrite);
    overwrite->excludes(copyTo)->excludes(beside);
    copyTo->excludes(beside)->excludes(noBackup);
    beside->excludes(noBackup);
}

void CommandLineOptions::addPageOptions() {
    m_app->add_option("--hide", m_hide, "What to hide: email-links, links, body or page")
        ->check(CLI::IsMember({"email-links", "links", "body", "page"}))
        ->capture_default_str();
    m_passwordOption = m_app->add_option("--password", m_password, "Ask for this password before showing a page")
                           ->check(kScriptSafeText);
    m_noticeOption = m_app->add_option("--notice", m_notice, "Put this notice in a comment at the top of every page")
                         ->check(kNoticeSafeText);
}

void CommandLineOptions::addScriptOptions() {
    auto* rightClick =
        m_app->add_flag("--no-right-click", m_scripts[engine::kScriptRightClick], "Disable right mouse click");
    m_warningOption =
        m_app->add_option("--warning", m_warning, "With --no-right-click: show this warning on a right click")
            ->check(kScriptSafeText)
            ->needs(rightClick);
    m_app->add_flag("--no-select", m_scripts[engine::kScriptTextSelection], "Disable text highlighting");
    m_app->add_flag("--no-status-urls", m_scripts[engine::kScriptStatusBar], "Don't display URLs in status bar");
    m_app->add_flag("--no-print", m_scripts[engine::kScriptPrinting], "Disable printing of pages");
    m_app->add_flag("--no-clipboard", m_scripts[engine::kScriptClipboard], "Disable clipboard and printscreen");
    m_app->add_flag("--no-drag", m_scripts[engine::kScriptDragDrop], "Disable drag and drop");
    m_app->add_flag("--break-frames", m_scripts[engine::kScriptBreakFrames], "Break out of frames");
    m_app->add_flag("--no-image-toolbar", m_scripts[engine::kScriptImageToolbar], "Disable IE Image Toolbar");
}

CommandLineOptions::Parsed CommandLineOptions::parse(int argc, const char* const* argv, std::string& text) {
    try {
        m_app->parse(argc, argv);
        return Parsed::Request;
    } catch (const CLI::CallForHelp&) {
        text = m_app->help();
        return Parsed::Help;
    } catch (const CLI::CallForVersion&) {
        text = m_app->version() + '\n';
        return Parsed::Version;
    } catch (const CLI::ParseError& error) {
        text = error.what();
        return Parsed::Error;
    }
}

CommandLineRequest CommandLineOptions::request() const {
    CommandLineRequest request;
    auto& options = request.options;
    options.storageMode = m_copyToOption->count() > 0 ? engine::StorageMode::CopyToFolder
                          : m_beside                  ? engine::StorageMode::CreateProtected
                                                      : engine::StorageMode::Overwrite;
    options.makeBackups = !m_noBackup;
    options.targetFolder = m_copyTo;
    options.copyOtherFiles = !m_pagesOnly;
    options.encryptionMode = kHideModes.at(m_hide);
    options.scripts = m_scripts;
    if (m_warningOption->count() > 0) {
        options.showRightClickWarning = true;
        options.rightClickWarning = engine::fromUtf8(m_warning);
    }
    if (m_passwordOption->count() > 0) {
        options.passwordProtect = true;
        options.password = engine::fromUtf8(m_password);
    }
    if (m_noticeOption->count() > 0) {
        options.insertNotice = true;
        options.noticeText = engine::fromUtf8(m_notice);
    }
    for (const auto& path : m_paths) {
        std::error_code error;
        request.selection.push_back({pickedPath(path), std::filesystem::is_directory(path, error)});
    }
    request.quiet = m_quiet;
    request.restore = m_restore;
    request.print0 = m_print0;
    return request;
}

} // namespace quillora::cli
