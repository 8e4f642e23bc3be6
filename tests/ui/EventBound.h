#pragma once

namespace quillora::testing {

/// How long a test waits for an event that must come (a run finished, a page shown) before it fails: a hang
/// guard far above what a machine loaded many times over its cores needs; the wait ends when the event comes.
inline constexpr int kEventBoundMs = 300000;

} // namespace quillora::testing
