#include "platform/long_path.h"

#include <vector>

namespace volantis {
namespace {

bool StartsWith(const std::string& text, const char* start) { return text.compare(0, std::string(start).size(), start) == 0; }

bool IsDriveRoot(const std::string& path) {
  const char letter = path.size() >= 3 ? path[0] : '\0';
  return ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) && path[1] == ':' && path[2] == '\\';
}

}  // namespace

std::string ExtendedLengthPath(const std::string& path) {
  if (StartsWith(path, "\\\\?\\") || StartsWith(path, "\\\\.\\")) return path;
  std::string plain = path;
  for (char& c : plain) {
    if (c == '/') c = '\\';
  }
  std::string root;
  std::size_t rest = 0;
  if (IsDriveRoot(plain)) {
    root = "\\\\?\\" + plain.substr(0, 3);
    rest = 3;
  } else if (StartsWith(plain, "\\\\") && !StartsWith(plain, "\\\\?") && !StartsWith(plain, "\\\\.")) {
    // \\server\share: both needed.
    const std::size_t server_end = plain.find('\\', 2);
    if (server_end == std::string::npos || server_end == 2) return path;
    std::size_t share_end = plain.find('\\', server_end + 1);
    if (share_end == std::string::npos) share_end = plain.size();
    if (share_end == server_end + 1) return path;
    root = "\\\\?\\UNC\\" + plain.substr(2, share_end - 2) + "\\";
    rest = share_end;
  } else {
    return path;
  }
  std::vector<std::string> parts;
  std::size_t at = rest;
  while (at <= plain.size()) {
    std::size_t end = plain.find('\\', at);
    if (end == std::string::npos) end = plain.size();
    const std::string part = plain.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string extended = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) extended += '\\';
    extended += parts[i];
  }
  return extended;
}

std::size_t ExtendedPathRootLength(const std::string& path) {
  if (StartsWith(path, "\\\\?\\UNC\\")) {
    const std::size_t server_end = path.find('\\', 8);
    if (server_end == std::string::npos) return 0;
    const std::size_t share_end = path.find('\\', server_end + 1);
    return share_end == std::string::npos ? path.size() : share_end + 1;
  }
  if (StartsWith(path, "\\\\?\\") && IsDriveRoot(path.substr(4))) return 7;
  return 0;
}

}  // namespace volantis
