// The flight-model file check: the whole file's digest against the reference.
#include "validation/validator.h"

namespace volantis {

bool Validator::DigestFile(const std::string& path, Digest* digest) {
  UniqueFile file = files_.OpenForReading(path);
  if (!file) {
    *digest = Digest{kUnreadableFileWord, kUnreadableFileWord, kUnreadableFileWord, kUnreadableFileWord,
                     kUnreadableFileWord};
    return false;
  }
  // A file of any size: the end of the module stops the reading between reads.
  return DigestStreamUnlessCancelled(file.get(), workers_.cancel(), digest);
}

bool Validator::CheckAirFile(const std::string& relative_path, const Digest& expected) {
  const std::string path = sim_folder() + relative_path;
  log_.Log(kLogDetail, "Air file: %s\n", path.c_str());
  FileStatus status;
  if (!files_.Status(path, &status)) {
    server_.SendResults(false, "Error finding .air file '%s'", path.c_str());
    return false;
  }
  Digest digest;
  if (!DigestFile(path, &digest)) {
    if (workers_.ending()) return false;  // stopped by the end: nothing more is reported
    server_.SendResults(false, "Error opening .air file '%s'", path.c_str());
    return false;
  }
  if (digest == expected) return true;
  // The size is shown as the signed 32-bit number the server has always received.
  const long size = static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(status.size)));
  server_.SendResults(false, "Bad .air file '%s', file size: %ld, mod time: %s", path.c_str(), size,
                      files_.LocalTimeText(status.modified_time).c_str());
  return false;
}

}  // namespace volantis
