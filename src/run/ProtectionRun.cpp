#include "ProtectionRun.h"

#include "ErrorNumbers.h"
#include "FolderScan.h"
#include "FrameAddress.h"
#include "RunMessages.h"
#include "engine/Paths.h"

#include <new>

namespace quillora::run {

namespace {

bool isBlankText(std::u16string_view text) {
    return text.find_first_not_of(u' ') == std::u16string_view::npos;
}

bool isBlankText(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

} // namespace

ProtectionRun::ProtectionRun(const engine::ProtectionOptions& options, RunReporter& reporter, FileSystem& fileSystem)
    : m_options(options), m_reporter(reporter), m_fs(fileSystem), m_placement(options, fileSystem, reporter),
      m_writer(fileSystem), m_processed(fileSystem), m_rewriter(options, engine::BuildHeader(options)) {}

RunSummary ProtectionRun::ProtectFiles(const std::vector<SelectionEntry>& selection) {
    RunSummary summary;
    m_list = FileList{};
    m_written = 0;
    m_givenUp = 0;
    m_reporter.runStarted();
    if (!validate(selection, summary))
        return summary;

    m_reporter.statusChanged(std::string(messages::kScanning));
    buildList(selection);
    summary.found = static_cast<std::size_t>(m_list.FileCount);
    if (m_list.upperBound() == 0)
        m_reporter.statusChanged(std::string(messages::kNoFilesFound));

    m_processed.clear();
    m_placement.reset();
    m_canonicalScopes.clear();
    std::size_t done = 0;
    m_reporter.progressChanged(done, summary.found);
    for (auto& entry : m_list.slots) {
        if (entry.Name.empty())
            continue;
        // A page picked on its own may reach frame pages beside it; a scanned page those of its picked folder.
        const std::string scope = entry.Folder.empty() ? engine::getFilePathOnly(entry.Name) : entry.Folder;
        ProtectFile(entry, scope);
        m_reporter.progressChanged(++done, summary.found);
    }
    summary.written = m_written;
    summary.givenUp = m_givenUp;
    return summary;
}

bool ProtectionRun::validate(const std::vector<SelectionEntry>& selection, RunSummary& summary) {
    if (selection.empty()) {
        m_reporter.statusChanged(std::string(messages::kNothingPickedLabel));
        m_reporter.showMessage(std::string(messages::kNothingPicked), MessageIcon::Exclamation,
                               MessageTitle::MainCaption);
        summary.outcome = RunSummary::Outcome::NothingPicked;
        return false;
    }
    if (m_options.passwordProtect && isBlankText(m_options.password)) {
        m_reporter.returnToPasswordPage();
        m_reporter.showMessage(std::string(messages::kEnterPassword), MessageIcon::Exclamation,
                               MessageTitle::MainCaption);
        summary.outcome = RunSummary::Outcome::PasswordMissing;
        return false;
    }
    // An empty target would put every page below the root of the file system.
    if (m_options.storageMode == engine::StorageMode::CopyToFolder && isBlankText(m_options.targetFolder)) {
        m_reporter.returnToStoragePage();
        m_reporter.showMessage(std::string(messages::kChooseTargetFolder), MessageIcon::Exclamation,
                               MessageTitle::MainCaption);
        summary.outcome = RunSummary::Outcome::TargetFolderMissing;
        return false;
    }
    return true;
}

void ProtectionRun::buildList(const std::vector<SelectionEntry>& selection) {
    for (const auto& picked : selection) {
        if (picked.isFolder) {
            std::string base;
            FolderScan(m_fs).ScanFolder(picked.path, m_list, base);
        } else {
            m_list.slots[static_cast<std::size_t>(NextFileIndex(m_list))] = {picked.path, {}};
        }
    }
}

bool ProtectionRun::ProtectFile(engine::FileEntry& entry, const std::string& scope) {
    const std::string full = entry.fullPath();
    if (!m_processed.add(full))
        return true; // handled before in this run: no message, no listing
    bool done = false;
    try {
        done = protectPage(entry, full, scope);
    } catch (const std::bad_alloc&) {
        reportFileError(std::make_error_code(std::errc::not_enough_memory), full);
    }
    if (!done)
        ++m_givenUp;
    return done;
}

bool ProtectionRun::protectPage(engine::FileEntry& entry, const std::string& full, const std::string& scope) {
    std::string bytes;
    if (!readPage(full, bytes))
        return false;
    const PageEncoding encoding = PageRewriter::encodingOf(bytes);
    const engine::FileEntry source = entry;
    std::string out;
    if (followFrames(source, scope, m_rewriter.frames(bytes, encoding))) {
        out = std::move(bytes); // a frameset stays as it is
    } else if (const auto error = m_rewriter.rewrite(bytes, encoding, out)) {
        reportFileError(error, full);
        return false;
    }
    const std::string output = m_placement.GetOutputPath(entry);
    if (output.empty())
        return false; // reported by the placement
    return writePage(entry, output, out);
}

bool ProtectionRun::followFrames(const engine::FileEntry& frameset, const std::string& scope,
                                 const engine::FrameScan& scan) {
    for (const auto& address : scan.addresses) {
        if (!protectFrame(frameset, scope, address))
            return false;
    }
    return scan.frameset && scan.complete;
}

bool ProtectionRun::readPage(const std::string& path, std::string& bytes) {
    if (const auto error = m_fs.readFile(path, bytes)) {
        reportFileError(error, path);
        return false;
    }
    return true;
}

bool ProtectionRun::writePage(engine::FileEntry& entry, const std::string& output, std::string_view bytes) {
    FileIdentity written;
    if (const auto error = m_writer.write(output, bytes, written)) {
        reportFileError(error, output);
        return false;
    }
    m_processed.addWritten(written);
    AddResultNode(entry, output);
    return true;
}

bool ProtectionRun::protectFrame(const engine::FileEntry& frameset, const std::string& scope,
                                 std::u16string_view address) {
    const auto relative = FrameAddress::localPath(address);
    if (!relative)
        return true; // not followed; the frameset still counts as one
    engine::FileEntry page{engine::getFilePathOnly(frameset.Name) + *relative, frameset.Folder};
    if (!isInside(page.fullPath(), scope))
        return true;
    return ProtectFile(page, scope);
}

bool ProtectionRun::isInside(const std::string& path, const std::string& scope) {
    auto known = m_canonicalScopes.find(scope);
    if (known == m_canonicalScopes.end()) {
        std::string canonical;
        if (m_fs.canonicalPath(scope, canonical))
            canonical.clear();
        known = m_canonicalScopes.emplace(scope, std::move(canonical)).first;
    }
    std::string root = known->second;
    std::string canonical;
    if (root.empty() || m_fs.canonicalPath(path, canonical))
        return false;
    if (root.back() != engine::kPathSeparator)
        root.push_back(engine::kPathSeparator);
    return canonical.size() > root.size() && canonical.starts_with(root);
}

void ProtectionRun::AddResultNode(const engine::FileEntry& entry, const std::string& outputPath) {
    ++m_written;
    m_reporter.pageWritten(entry, outputPath);
    m_reporter.statusChanged(messages::filesProtected(m_written));
}

void ProtectionRun::reportFileError(std::error_code error, const std::string& path) {
    if (classifyError(error) == ErrorNumber::PathFileAccess) {
        m_reporter.showMessage(messages::unableToAccessFile(path), MessageIcon::Exclamation,
                               MessageTitle::ApplicationTitle);
        return;
    }
    // The classic numbers 5 and 53 were passed over when the old file was deleted first; a page is now
    // replaced in one step, so every failure left is a page not written and is reported.
    m_reporter.showMessage(messages::unknownError(error), MessageIcon::Exclamation, MessageTitle::MainCaption);
}

} // namespace quillora::run
