// The settings profile as an INI-style file. Each section is "[Name]"; a text
// value is written name="text" (backslash, quote, carriage return and line feed
// escaped), an integer name=dword:0000001e, so a value keeps its type as the
// registry does. Names compare without regard to case. A line of neither form
// reads as missing. Every write rewrites the file through a temporary file and a
// rename, keeping every other line as it was.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/settings_store.h"
#include "platform/text_format.h"

namespace volantis {
namespace {

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out + '"';
}

bool Unquote(const std::string& raw, std::string& text) {
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return false;
  std::string out;
  for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\\') {
      if (i + 2 >= raw.size()) return false;
      char next = raw[++i];
      if (next == 'n') c = '\n';
      else if (next == 'r') c = '\r';
      else if (next == '\\' || next == '"') c = next;
      else return false;
    } else if (c == '"') {
      return false;
    }
    out += c;
  }
  text = out;
  return true;
}

bool ParseDword(const std::string& raw, uint32_t& value) {
  static const char kPrefix[] = "dword:";
  if (raw.size() <= sizeof kPrefix - 1 || raw.size() > sizeof kPrefix - 1 + 8) return false;
  if (!SameName(raw.substr(0, sizeof kPrefix - 1), kPrefix)) return false;
  uint32_t result = 0;
  for (std::size_t i = sizeof kPrefix - 1; i < raw.size(); ++i) {
    const int c = std::tolower(static_cast<unsigned char>(raw[i]));
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return false;
    result = result * 16 + static_cast<uint32_t>(digit);
  }
  value = result;
  return true;
}

class FileSettingsStore : public SettingsStore {
 public:
  explicit FileSettingsStore(std::filesystem::path path) : path_(std::move(path)) {}

  bool ReadText(const char* section, const char* name, std::string& value) override {
    std::string raw;
    return FindRaw(section, name, raw) && Unquote(raw, value);
  }

  bool ReadInteger(const char* section, const char* name, uint32_t& value) override {
    std::string raw;
    return FindRaw(section, name, raw) && ParseDword(raw, value);
  }

  bool WriteText(const char* section, const char* name, const std::string& value) override {
    return WriteRaw(section, name, Quote(value));
  }

  bool WriteInteger(const char* section, const char* name, uint32_t value) override {
    return WriteRaw(section, name, FormatText("dword:%08x", static_cast<unsigned>(value)));
  }

 private:
  std::vector<std::string> ReadLines() const {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

  static bool IsSection(const std::string& line, std::string* name) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return false;
    if (name != nullptr) *name = Trim(trimmed.substr(1, trimmed.size() - 2));
    return true;
  }

  // Splits "name=value"; false for a line of another form.
  static bool SplitValue(const std::string& line, std::string& name, std::string& raw) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    name = Trim(line.substr(0, equals));
    raw = Trim(line.substr(equals + 1));
    return !name.empty();
  }

  // The index of the first line of the value in the section, or -1; section_end
  // receives the index just past the section's last line (or -1 when absent).
  static long Find(const std::vector<std::string>& lines, const char* section, const char* name, long& section_end) {
    bool inside = false;
    section_end = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string header;
      if (IsSection(lines[i], &header)) {
        inside = SameName(header, section);
        if (inside) section_end = static_cast<long>(i) + 1;
        continue;
      }
      if (!inside) continue;
      section_end = static_cast<long>(i) + 1;
      std::string key, raw;
      if (SplitValue(lines[i], key, raw) && SameName(key, name)) return static_cast<long>(i);
    }
    return -1;
  }

  bool FindRaw(const char* section, const char* name, std::string& raw) const {
    const std::vector<std::string> lines = ReadLines();
    long section_end = 0;
    const long at = Find(lines, section, name, section_end);
    if (at < 0) return false;
    std::string key;
    return SplitValue(lines[static_cast<std::size_t>(at)], key, raw);
  }

  bool WriteRaw(const char* section, const char* name, const std::string& raw) {
    std::vector<std::string> lines = ReadLines();
    const std::string line = std::string(name) + "=" + raw;
    long section_end = 0;
    const long at = Find(lines, section, name, section_end);
    if (at >= 0) {
      lines[static_cast<std::size_t>(at)] = line;
    } else if (section_end >= 0) {
      lines.insert(lines.begin() + section_end, line);
    } else {
      lines.push_back(std::string("[") + section + "]");
      lines.push_back(line);
    }
    std::error_code error;
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), error);
    std::filesystem::path temporary = path_;
    temporary += ".tmp";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      for (const std::string& each : lines) out << each << '\n';
      out.flush();
      if (!out) return false;
    }
    std::filesystem::rename(temporary, path_, error);
    return !error;
  }

  std::filesystem::path path_;
};

std::filesystem::path UserConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::filesystem::path(home) / ".config";
  return ".";
}

}  // namespace

std::unique_ptr<SettingsStore> OpenUserSettingsStore() {
  return std::make_unique<FileSettingsStore>(UserConfigFolder() / "tarvex" / "TarvexCheck.ini");
}

std::unique_ptr<SettingsStore> OpenSettingsStoreAt(const std::string& location) {
  return std::make_unique<FileSettingsStore>(location);
}

}  // namespace volantis
