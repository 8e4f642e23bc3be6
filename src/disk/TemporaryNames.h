#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillora::disk {

/// The name of a run's temporary file: "." hint ".~" two codes "~", each code eight letters or digits made from the
/// hint and the number of a file on disk. The first code names the file the name is made for; the second the file it
/// will be swapped with when it takes its place (or the same file). Whatever a killed run leaves under such a name
/// can be proved to be its own: the name fits the file it holds, which no name a user picks does.
std::string TemporaryName(std::string_view hint, std::uint64_t inode, std::uint64_t partnerInode);

/// True for a name of the temporary files' shape (whichever file it holds).
bool IsTemporaryName(std::string_view name);

/// True when name is a temporary name made for the file with this number: a leftover of a run, not a user's file.
bool IsTemporaryNameOf(std::string_view name, std::uint64_t inode);

} // namespace quillora::disk
