#pragma once

namespace quillora::selection {

/// The application's title: the caption of untitled message boxes and of the main window.
inline constexpr char kApplicationTitle[] = "Quillora";
/// The product's web address, shown on the Welcome page and in the thanks message.
inline constexpr char kWebAddress[] = "www.example.com";

} // namespace quillora::selection
