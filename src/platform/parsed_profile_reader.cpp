#include "platform/parsed_profile_reader.h"

#include <cstdio>

namespace volantis {

std::shared_ptr<const ProfileDocument> ParsedProfileReader::Load(const std::string& path) {
  ScopedCriticalSection hold(lock_);
  auto found = documents_.find(path);
  if (found != documents_.end()) return found->second;

  std::shared_ptr<const ProfileDocument> document;
  FileStatus status;
  if (files_.Status(path, &status) && !status.is_directory) {
    if (UniqueFile file = files_.OpenForReading(path)) {
      std::string bytes;
      char chunk[65536];
      std::size_t got;
      while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
      document = std::make_shared<const ProfileDocument>(bytes);
      ++parse_count_;
    }
  }
  documents_.emplace(path, document);
  return document;
}

uint32_t ParsedProfileReader::ReadRaw(const std::string& path, const char* section, const char* key, char* buffer,
                                      uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::shared_ptr<const ProfileDocument> document = Load(path);
  if (!document) {
    buffer[0] = '\0';
    return 0;
  }
  return document->Read(section, key, buffer, size);
}

void ParsedProfileReader::ForgetFiles() {
  ScopedCriticalSection hold(lock_);
  documents_.clear();
  parse_count_ = 0;
}

}  // namespace volantis
