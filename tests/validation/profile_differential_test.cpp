// Runs the system's profile reader and our own over every file of the corpus and
// the stand-in installation, and compares every answer: the returned length and
// every byte the caller may read, for section lists and values, at the sizes the
// checks use and at sizes that cut the answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/profile_parser.h"
#include "platform/profile_reader.h"

namespace volantis {
namespace {

std::string WindowsPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + "\\" + data.cFileName);
  } while (::FindNextFileA(search, &data));
  ::FindClose(search);
  return files;
}

std::vector<std::string> Corpus() {
  std::vector<std::string> files = FilesIn(WindowsPath(VOLANTIS_CORPUS_DIR), "*.cfg");
  std::string aircraft = WindowsPath(VOLANTIS_SIM_FIXTURE) + "\\Aircraft";
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA((aircraft + "\\*.*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") {
        for (const std::string& file : FilesIn(aircraft + "\\" + name, "aircraft.cfg")) files.push_back(file);
      }
    } while (::FindNextFileA(search, &data));
    ::FindClose(search);
  }
  return files;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out.size() > 300 ? out.substr(0, 300) + "...(" + std::to_string(out.size()) + " chars)" : out;
}

std::string Flip(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c + 32);
    }
  }
  return text;
}

// The names a caller might ask for: every section header and key written in the
// file (raw, so blanks and odd bytes are kept), with their case flipped and padded.
struct Queries {
  std::vector<std::string> sections;
  std::vector<std::pair<std::string, std::string>> pairs;
};

Queries QueriesFor(const std::string& bytes) {
  Queries queries;
  std::set<std::string> seen_sections;
  std::set<std::pair<std::string, std::string>> seen_pairs;
  auto add_pair = [&](const std::string& section, const std::string& key) {
    if (queries.pairs.size() < 6000 && seen_pairs.insert({section, key}).second) queries.pairs.push_back({section, key});
  };
  std::string section;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    pos = end + 1;
    line = line.substr(0, line.find('\0'));
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line = line.substr(first);
    if (line[0] == '[' && line.find(']') != std::string::npos) {
      section = line.substr(1, line.rfind(']') - 1);
      if (seen_sections.insert(section).second && queries.sections.size() < 200) {
        queries.sections.push_back(section);
        add_pair(section, "missing_key");
      }
      continue;
    }
    std::string key = line.substr(0, line.find('='));
    if (key.size() > 3000) key.resize(3000);
    add_pair(section, key);
    if (queries.pairs.size() < 600) {
      add_pair(Flip(section), Flip(key));
      add_pair(" " + section + "\t", " " + key + " ");
    }
  }
  add_pair("no such section", "title");
  add_pair("", "title");
  return queries;
}

struct Answer {
  uint32_t length;
  std::string bytes;
};

Answer Ask(ProfileReader* system, const ProfileDocument* ours, const std::string& path, const char* section,
           const char* key, uint32_t size) {
  std::vector<char> buffer(size + 8, '\xCC');
  uint32_t length = system != nullptr ? system->ReadRaw(path, section, key, buffer.data(), size)
                                      : ours->Read(section, key, buffer.data(), size);
  std::size_t readable = std::min<std::size_t>(static_cast<std::size_t>(length) + 1, size);
  return Answer{length, std::string(buffer.data(), readable)};
}

TEST(ProfileReadersAgree, OnEveryAnswerOfTheCorpus) {
  std::vector<std::string> files = Corpus();
  ASSERT_GE(files.size(), 10u) << "corpus not found under " << VOLANTIS_CORPUS_DIR;
  ProfileReader& system = SystemProfileReader();
  int compared = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    ProfileDocument ours(ReadBytes(path));
    int mismatches = 0;
    auto compare = [&](const char* section, const char* key, uint32_t size) {
      Answer expected = Ask(&system, nullptr, path, section, key, size);
      Answer actual = Ask(nullptr, &ours, path, section, key, size);
      ++compared;
      if (expected.length == actual.length && expected.bytes == actual.bytes) return;
      if (++mismatches > 20) return;
      ADD_FAILURE() << "section " << (section ? "'" + Escape(section) + "'" : std::string("(list)")) << ", key '"
                    << (key ? Escape(key) : std::string()) << "', size " << size << "\n  system: " << expected.length
                    << " '" << Escape(expected.bytes) << "'\n  ours:   " << actual.length << " '"
                    << Escape(actual.bytes) << "'";
    };
    for (uint32_t size : {1u, 2u, 3u, 4u, 7u, 10u, 64u, 10000u, 200000u}) compare(nullptr, nullptr, size);
    Queries queries = QueriesFor(ReadBytes(path));
    for (const auto& [section, key] : queries.pairs) {
      for (uint32_t size : {1000u, 100u}) compare(section.c_str(), key.c_str(), size);
      // Sizes around the value's own length exercise the cutting and quote rules.
      Answer full = Ask(nullptr, &ours, path, section.c_str(), key.c_str(), 200000);
      if (full.length > 0 && full.length < 150000) {
        for (uint32_t delta : {0u, 1u, 2u, 3u}) compare(section.c_str(), key.c_str(), full.length + delta);
        compare(section.c_str(), key.c_str(), 1);
        compare(section.c_str(), key.c_str(), 2);
      }
    }
  }
  std::printf("compared %d answers over %zu files\n", compared, files.size());
}

}  // namespace
}  // namespace volantis
