#pragma once
// The system's record files with the races folder of a test's choosing (empty:
// the pilot's data folder is unknown), and a fresh folder to put it in.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/record_files.h"

namespace volantis::testing {

class RecordFilesIn : public RecordFiles {
 public:
  explicit RecordFilesIn(std::string races = std::string()) : races_(std::move(races)) {}
  // races inside folder, with this platform's separator.
  static std::string Races(const std::string& folder) { return SystemRecordFiles().Join(folder, "races"); }
  std::string RacesFolder() override { return races_; }
  char Separator() const override { return system_.Separator(); }
  FolderCreation CreateFolder(const std::string& path) override { return system_.CreateFolder(path); }
  UniqueFile Open(const std::string& path, const char* mode) override { return system_.Open(path, mode); }
  bool ListFolders(const std::string& folder, std::vector<std::string>& names) override {
    return system_.ListFolders(folder, names);
  }
  bool RemoveTree(const std::string& path) override { return system_.RemoveTree(path); }
  bool Flush(std::FILE* file) override { return system_.Flush(file); }
  LockTaking TryLock(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    return system_.TryLock(path, lock);
  }
  bool Replace(const std::string& from, const std::string& to) override { return system_.Replace(from, to); }

 private:
  RecordFiles& system_ = SystemRecordFiles();
  std::string races_;
};

// The whole of a file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  std::string text;
  UniqueFile file = SystemRecordFiles().Open(path, "rb");
  if (!file) return text;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) text.append(buffer, got);
  return text;
}

// A new empty folder under the temporary folder, removed with everything in it
// when the object goes.
class TempFolder {
 public:
  TempFolder() {
    RecordFiles& files = SystemRecordFiles();
    std::string base;
    for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
      const char* value = std::getenv(name);
      if (value != nullptr && value[0] != '\0') {
        base = value;
        break;
      }
    }
    if (base.empty()) base = files.Separator() == '/' ? "/tmp" : ".";
    std::random_device random;
    for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
      const std::string candidate = files.Join(base, "volantis-test-" + std::to_string(random()));
      if (files.CreateFolder(candidate) == FolderCreation::kCreated) path_ = candidate;
    }
  }
  ~TempFolder() {
    if (!path_.empty()) SystemRecordFiles().RemoveTree(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace volantis::testing
