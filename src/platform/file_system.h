#pragma once
// File status, reading and directory search as the validation checks need them.
// Paths are texts with '\' between folders, as the host writes them; the native
// half maps them onto its own file system.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace volantis {

struct FileStatus {
  int64_t size = 0;           // bytes
  int64_t modified_time = 0;  // seconds since 1970, UTC
  bool is_directory = false;
};

struct DirectoryEntry {
  std::string name;
  bool is_directory = false;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file's status (_stat); false when it cannot be queried (no such file).
  virtual bool Status(const std::string& path, FileStatus* status) = 0;
  // Opens a file for reading raw bytes ("rb"); empty when it cannot be opened.
  virtual UniqueFile OpenForReading(const std::string& path) = 0;
  // Searches `folder` + "\*.*" and hands every entry, "." and ".." included, to
  // visit in the order the file system gives them, until visit returns false.
  // Returns false when the search cannot be started.
  virtual bool SearchFolder(const std::string& folder, const std::function<bool(const DirectoryEntry&)>& visit) = 0;
  // The C library's fixed-form local time text of a modification time: 24
  // characters and a line end ("Thu Dec 10 05:33:17 2026\n").
  virtual std::string LocalTimeText(int64_t time) = 0;
};

FileSystem& SystemFileSystem();

}  // namespace volantis
