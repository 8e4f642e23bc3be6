#pragma once

#include "FileList.h"
#include "FileSystem.h"
#include "OutputPlacement.h"
#include "PageRewriter.h"
#include "PageWriter.h"
#include "ProcessedFiles.h"
#include "RunReporter.h"
#include "engine/FileEntry.h"
#include "engine/ProtectionOptions.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillora::run {

/// One direct child of the selection tree's root, in tree order: a picked folder or a picked file (native path).
struct SelectionEntry {
    std::string path;
    bool isFolder = false;
};

/// What a run came to, for a front end's exit status and progress display.
struct RunSummary {
    enum class Outcome { Ran, NothingPicked, PasswordMissing, TargetFolderMissing };
    Outcome outcome = Outcome::Ran;
    std::size_t found = 0;   // pages in the file list
    std::size_t written = 0; // pages written and listed (frame pages included)
    std::size_t givenUp = 0; // pages reported and skipped (frame pages included)
};

/// The protection run: validates the choices, expands the selection into the file list, protects every page
/// (frame pages included) and reports through a RunReporter. The window and the command line both drive it.
class ProtectionRun {
public:
    ProtectionRun(const engine::ProtectionOptions& options, RunReporter& reporter, FileSystem& fileSystem);

    RunSummary ProtectFiles(const std::vector<SelectionEntry>& selection);

    /// Protects one page: read, rewrite, place, write, list. Frame pages are followed only inside scope, the
    /// folder the page was picked in (or the folder of a page picked on its own). False when it was given up.
    bool ProtectFile(engine::FileEntry& entry, const std::string& scope);

    /// The list of the last run.
    const FileList& fileList() const { return m_list; }

private:
    bool protectPage(engine::FileEntry& entry, const std::string& full, const std::string& scope);
    bool validate(const std::vector<SelectionEntry>& selection, RunSummary& summary);
    void buildList(const std::vector<SelectionEntry>& selection);
    bool readPage(const std::string& path, std::string& bytes);
    bool writePage(engine::FileEntry& entry, const std::string& output, std::string_view bytes);
    bool followFrames(const engine::FileEntry& frameset, const std::string& scope, const engine::FrameScan& scan);
    bool protectFrame(const engine::FileEntry& frameset, const std::string& scope, std::u16string_view address);
    bool isInside(const std::string& path, const std::string& scope);
    void AddResultNode(const engine::FileEntry& entry, const std::string& outputPath);
    void reportFileError(std::error_code error, const std::string& path);

    const engine::ProtectionOptions& m_options;
    RunReporter& m_reporter;
    FileSystem& m_fs;
    OutputPlacement m_placement;
    PageWriter m_writer;
    ProcessedFiles m_processed;
    PageRewriter m_rewriter;
    FileList m_list;
    std::unordered_map<std::string, std::string> m_canonicalScopes;
    std::size_t m_written = 0;
    std::size_t m_givenUp = 0;
};

} // namespace quillora::run
