#pragma once
// Windows paths that reach past MAX_PATH and onto network shares. The system
// takes such paths only in their "\\?\" form, where it no longer resolves
// forward slashes, "." or "..": this does it first. Plain string work, so both
// halves test it.
#include <cstddef>
#include <string>

namespace volantis {

// "C:\a\b" -> "\\?\C:\a\b"; "\\server\share\a" -> "\\?\UNC\server\share\a";
// "/" read as "\", doubled separators, "." and ".." resolved (never above the
// drive or the share). Paths already in a "\\?\" or "\\.\" form, and paths that
// are not absolute, come back as they are.
std::string ExtendedLengthPath(const std::string& path);

// How many characters of an extended path are its root ("\\?\C:\",
// "\\?\UNC\server\share\"), which exists and is never made; 0 when path has no
// root this knows.
std::size_t ExtendedPathRootLength(const std::string& path);

}  // namespace volantis
