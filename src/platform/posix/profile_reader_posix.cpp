#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"

namespace volantis {

ProfileReader& SystemProfileReader() {
  static ParsedProfileReader reader(SystemFileSystem());
  return reader;
}

}  // namespace volantis
