#pragma once

#include "FileEntry.h"
#include "ProtectionOptions.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quillora::engine {

/// The caller's per-page operation for a frame page: framePage is the page beside the frameset (Name is the
/// frameset's folder part followed by the address, Folder the frameset's Folder), address the frame's address as
/// written. Returns false when the page failed; deciding not to follow an address is not a failure.
using FramePageOperation = std::function<bool(FileEntry& framePage, std::u16string_view address)>;

/// Rewrites a page into its protected form; a frameset stays unchanged and its local frame pages go to protectFrame.
void ProtectPage(const FileEntry& entry, std::u16string& text, const ProtectionOptions& options,
                 const FramePageOperation& protectFrame);

/// True when the page holds a frame tag and every frame was followed without failure.
bool FollowFrames(const FileEntry& entry, std::u16string_view text, const FramePageOperation& protectFrame);

/// The attribute value starting at first and ending by last (0-based, inclusive); empty when last < first.
std::u16string ReadAttributeValue(std::ptrdiff_t first, std::ptrdiff_t last, std::u16string_view text);

} // namespace quillora::engine
