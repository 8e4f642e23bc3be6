#pragma once

namespace quillora::engine {

/// What the protection of a page left as it stands although the mode hides it, for the run to report.
struct PageNotes {
    bool linksLeftAsTheyAre = false; // links inside a template or an SVG or MathML drawing

    bool protectedInPart() const { return linksLeftAsTheyAre; }
    bool operator==(const PageNotes&) const = default;
};

} // namespace quillora::engine
