#pragma once

#include "PageCharset.h"
#include "PageNotes.h"
#include "ProtectionOptions.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::engine {

/// The caller's per-page operation for a frame: it gets the frame's address as written and decides whether and where
/// to follow it. Returns false when the frame page failed; deciding not to follow an address is not a failure.
using FramePageOperation = std::function<bool(std::u16string_view address)>;

/// What the frame tags of a page hold, in page order.
struct FrameScan {
    bool frameset = false;                 // the page holds at least one frame tag
    bool complete = true;                  // false when a frame tag's address cannot be read
    std::vector<std::u16string> addresses; // the addresses read, up to the first frame tag that has none
};

/// One page and what goes into it, all in the units the page is held in.
template <typename Unit> struct PageParts {
    std::basic_string_view<Unit> text;   // the page
    std::basic_string_view<Unit> header; // the run's header
    std::basic_string_view<Unit> notice; // the notice comment as it is written; empty for none
    std::size_t bytesBefore = 0;         // bytes the file holds in front of the output (a byte-order mark)
    // A META tag declaring the page's character set, to stand first in its head in place of any declaration of
    // the page's own that whole-page mode would copy; empty for none.
    std::basic_string_view<Unit> declaration = {};
};

/// The header of every protected page of a run: the bootstrap followed by the block of the chosen behaviour scripts.
std::u16string BuildHeader(const ProtectionOptions& options);

/// The notice comment put on top of every page ("<!-- ", the text, "-->", a line break); empty when not chosen.
std::u16string NoticeComment(const ProtectionOptions& options);

/// Rewrites a page into its protected form with the run's header; a frameset whose frames were all followed by
/// protectFrame stays unchanged.
void ProtectPage(std::u16string& text, const ProtectionOptions& options, std::u16string_view header,
                 const FramePageOperation& protectFrame);

/// The transformation of a page that is not left unchanged as a frameset: image-toolbar tag, encryption mode, header
/// and notice.
void TransformPage(std::u16string& text, const ProtectionOptions& options, std::u16string_view header);

/// The same for a page held in the units of its set; the protected page is appended to out.
template <typename Unit>
PageNotes TransformPage(const PageParts<Unit>& page, const ProtectionOptions& options, const PageCharset<Unit>& charset,
                        std::basic_string<Unit>& out);

/// The frame tags of a page and their addresses.
FrameScan ScanFrames(std::u16string_view text);
template <typename Unit> FrameScan ScanFrames(std::basic_string_view<Unit> text, const PageCharset<Unit>& charset);

/// True when the page holds a frame tag and every frame was followed without failure.
bool FollowFrames(std::u16string_view text, const FramePageOperation& protectFrame);

/// The attribute value starting at first and ending by last (0-based, inclusive); empty when last < first.
std::u16string ReadAttributeValue(std::ptrdiff_t first, std::ptrdiff_t last, std::u16string_view text);
template <typename Unit>
std::basic_string<Unit> ReadAttributeValue(std::ptrdiff_t first, std::ptrdiff_t last,
                                           std::basic_string_view<Unit> text);

} // namespace quillora::engine
