#pragma once
// The pilot's own data folder, and the few file operations the race records
// need there: folders made with their parents, files opened for writing,
// appending or reading, a folder's sub-folders listed, a folder removed with
// everything in it. Paths are UTF-8 texts with this platform's separator.
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace volantis {

enum class FolderCreation { kCreated, kExists, kFailed };

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

  std::string Join(const std::string& folder, const std::string& name) const;
};

RecordFiles& SystemRecordFiles();

}  // namespace volantis
