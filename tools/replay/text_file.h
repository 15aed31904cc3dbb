#pragma once
// Whole files read as text, and the questions the command line asks of paths.
#include <string>

namespace volantis::replay {

// The file's bytes; false with a message naming the path when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& text, std::string& error);
bool IsFolder(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace volantis::replay
