// Writes a race record at the six-hour limit (540,000 rows, 100 laps) into a
// folder, to measure volantis-replay on it:
//   make_long_record OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "long_record.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_long_record OUTPUT_FOLDER\n");
    return 2;
  }
  std::error_code ignored;
  std::filesystem::create_directories(argv[1], ignored);
  std::string error;
  if (!volantis::fixtures::WriteLongRecord(argv[1], error)) {
    std::fprintf(stderr, "make_long_record: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
