#pragma once

#include "RunReporter.h"
#include "engine/ProtectionOptions.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quillora::run {

class FileSystem;

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
    std::size_t written = 0; // pages written and listed
    std::size_t givenUp = 0; // pages reported and skipped
};

/// The protection run: validates the choices, expands the selection into the file list, protects every page
/// (frame pages included) and reports through a RunReporter. The window and the command line both drive it.
class ProtectionRun {
public:
    ProtectionRun(const engine::ProtectionOptions& options, RunReporter& reporter, FileSystem& fileSystem);

    RunSummary ProtectFiles(const std::vector<SelectionEntry>& selection);

private:
    const engine::ProtectionOptions& m_options;
    RunReporter& m_reporter;
    FileSystem& m_fs;
};

} // namespace quillora::run
