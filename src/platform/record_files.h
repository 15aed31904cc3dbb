#pragma once
// The pilot's own data folder, and the few file operations the race records
// need there: folders made with their parents, files opened for writing,
// appending or reading, a folder's sub-folders listed, a folder removed with
// everything in it. Paths are UTF-8 texts with this platform's separator.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace volantis {

enum class FolderCreation { kCreated, kExists, kFailed };

// An exclusive lock on a file that every process sees; released when it goes.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class LockTaking { kHeld, kBusy, kFailed };

class RecordFiles {
 public:
  virtual ~RecordFiles() = default;
  // The folder that holds the race records (it may not exist yet); empty when
  // the platform cannot say where the pilot's data lives.
  virtual std::string RacesFolder() = 0;
  virtual char Separator() const = 0;
  // Makes path's parents as needed, then path itself.
  virtual FolderCreation CreateFolder(const std::string& path) = 0;
  // std::fopen's modes ("rb", "wb", "ab"); empty when it cannot be opened.
  virtual UniqueFile Open(const std::string& path, const char* mode) = 0;
  // The names of folder's sub-folders ("." and ".." left out), in no order.
  // False when folder cannot be read.
  virtual bool ListFolders(const std::string& folder, std::vector<std::string>& names) = 0;
  // Removes path with everything in it; false when something stayed.
  virtual bool RemoveTree(const std::string& path) = 0;
  // Puts what was written to file on the disk (fflush, then fsync or
  // FlushFileBuffers); false when it may not be there.
  virtual bool Flush(std::FILE* file) = 0;
  // Renames from over to, replacing to, and puts the change of the folder on
  // the disk; false when to was left as it was.
  virtual bool Replace(const std::string& from, const std::string& to) = 0;

  // Takes the lock of path (made when missing) without waiting: kHeld with
  // lock set, kBusy when another holder has it, kFailed when it cannot be taken.
  virtual LockTaking TryLock(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;

  std::string Join(const std::string& folder, const std::string& name) const;
};

// Replaces path's contents with text so that a crash at any instant leaves the
// old contents or the new, never a mix: written whole to path + ".new",
// flushed to the disk, then renamed over path. False when path was left as it
// was.
bool WriteWholeFile(RecordFiles& files, const std::string& path, const std::string& text);

RecordFiles& SystemRecordFiles();

// The system's record files over a races folder of the caller's choosing (a
// record a pilot names to a tool).
class RecordFilesAt : public RecordFiles {
 public:
  explicit RecordFilesAt(std::string races) : races_(std::move(races)) {}
  std::string RacesFolder() override { return races_; }
  char Separator() const override { return system_.Separator(); }
  FolderCreation CreateFolder(const std::string& path) override { return system_.CreateFolder(path); }
  UniqueFile Open(const std::string& path, const char* mode) override { return system_.Open(path, mode); }
  bool ListFolders(const std::string& folder, std::vector<std::string>& names) override {
    return system_.ListFolders(folder, names);
  }
  bool RemoveTree(const std::string& path) override { return system_.RemoveTree(path); }
  bool Flush(std::FILE* file) override { return system_.Flush(file); }
  bool Replace(const std::string& from, const std::string& to) override { return system_.Replace(from, to); }
  LockTaking TryLock(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    return system_.TryLock(path, lock);
  }

 private:
  RecordFiles& system_ = SystemRecordFiles();
  std::string races_;
};

}  // namespace volantis
