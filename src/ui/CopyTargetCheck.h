#pragma once

#include "run/SelectionEntry.h"

#include <QString>
#include <vector>

namespace quillora::ui {

/// Why the copy mode could not put its pages into target, in a few words, or the empty string when nothing stands in
/// the way that can be seen without scanning the picked folders: no folder given, a file where the folder should be,
/// a picked folder itself, or the folder of a picked page (whose copy would replace it). The run checks again, fully.
QString copyTargetProblem(const QString& target, const std::vector<run::SelectionEntry>& picks);

/// Where the folder picker for the copy target starts: the target given so far (its nearest existing folder), else
/// beside the first pick (the folder that holds it, never the pick itself), else fallback.
QString copyTargetStart(const QString& target, const std::vector<run::SelectionEntry>& picks, const QString& fallback);

} // namespace quillora::ui
