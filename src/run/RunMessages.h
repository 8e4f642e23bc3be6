#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace quillora::run {

/// The texts the run shows, in the status label and in message boxes (UTF-8; line breaks are CR LF).
namespace messages {

inline constexpr std::string_view kNothingPickedLabel = "No files were picked to be protected.";
inline constexpr std::string_view kNothingPicked = "No files were picked to be protected";
inline constexpr std::string_view kEnterPassword = "Please Enter a Password";
inline constexpr std::string_view kChooseTargetFolder = "Please Select a Folder to Copy the Protected Files To";
inline constexpr std::string_view kScanning = "Scanning for files, please wait...";
inline constexpr std::string_view kNoFilesFound = "No files found to protect";
inline constexpr std::string_view kBackupReadOnly = "Unable to Access File, Your file(s) may be read-only.";
inline constexpr std::string_view kLineBreak = "\r\n";

/// "The following N files have been protected".
std::string filesProtected(std::size_t count);
/// "Unable to Access File: " path "." CR LF "The file may be read-only."
std::string unableToAccessFile(std::string_view path);
/// "Unknown Error " number CR LF description.
std::string unknownError(std::error_code error);

} // namespace messages
} // namespace quillora::run
