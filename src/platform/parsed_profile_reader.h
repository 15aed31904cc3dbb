#pragma once
// A ProfileReader over our own parser: each file is read and parsed once and then
// kept until ForgetFiles, so a validation run that reads hundreds of values from
// one file parses it once.
#include <map>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/profile_parser.h"
#include "platform/profile_reader.h"
#include "platform/sync.h"

namespace volantis {

class ParsedProfileReader : public ProfileReader {
 public:
  explicit ParsedProfileReader(FileSystem& files) : files_(files) {}
  uint32_t ReadRaw(const std::string& path, const char* section, const char* key, char* buffer,
                   uint32_t size) override;
  void ForgetFiles() override;

  // Files parsed since construction or the last ForgetFiles (for tests and benchmarks).
  int parse_count() const { return parse_count_; }

 private:
  // Empty when the file cannot be read: every read then gives the empty default.
  std::shared_ptr<const ProfileDocument> Load(const std::string& path);

  FileSystem& files_;
  CriticalSection lock_;
  std::map<std::string, std::shared_ptr<const ProfileDocument>> documents_;
  int parse_count_ = 0;
};

}  // namespace volantis
