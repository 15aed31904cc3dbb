#pragma once
// A course file for the stand-in race server: one entry per line as the race
// start info carries it ("laps=3", "max_knots=350",
// "gate=left_lat,left_lon,right_lat,right_lon,min_alt,max_alt"); blank lines
// and lines starting with "#" are ignored.
#include <string>

namespace volantis::race_server {

struct Course {
  std::string race_start_info;  // "Race start info: " + entries joined by ";"
  int laps = 0;
  int gates = 0;
};

// False with a message naming the line when the file cannot be read or a line is
// not a valid entry.
bool LoadCourse(const std::string& path, Course& course, std::string& error);
bool ParseCourse(const std::string& text, Course& course, std::string& error);

}  // namespace volantis::race_server
