#include "course.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace volantis::race_server {

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

bool IsNumber(const std::string& text, bool integer) {
  if (text.empty()) return false;
  char* end = nullptr;
  if (integer) {
    std::strtol(text.c_str(), &end, 10);
  } else {
    std::strtod(text.c_str(), &end);
  }
  return end != nullptr && *end == '\0';
}

bool ValidGate(const std::string& values) {
  std::vector<std::string> parts;
  std::stringstream stream(values);
  std::string part;
  while (std::getline(stream, part, ',')) parts.push_back(Trim(part));
  if (parts.size() != 6) return false;
  for (int i = 0; i < 6; ++i) {
    if (!IsNumber(parts[i], i >= 4)) return false;
  }
  return true;
}

}  // namespace

bool ParseCourse(const std::string& text, Course& course, std::string& error) {
  course = Course{};
  std::vector<std::string> entries;
  std::stringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::string entry = Trim(line);
    if (entry.empty() || entry[0] == '#') continue;
    bool ok = false;
    if (entry.rfind("laps=", 0) == 0 && IsNumber(entry.substr(5), true)) {
      course.laps = std::atoi(entry.c_str() + 5);
      ok = course.laps > 0;
    } else if (entry.rfind("max_knots=", 0) == 0) {
      ok = IsNumber(entry.substr(10), true);
    } else if (entry.rfind("gate=", 0) == 0) {
      ok = ValidGate(entry.substr(5));
      if (ok) ++course.gates;
    }
    if (!ok || entry.find(';') != std::string::npos) {
      error = "line " + std::to_string(number) + ": not a course entry: " + entry;
      return false;
    }
    entries.push_back(entry);
  }
  if (course.laps <= 0 || course.gates == 0) {
    error = "a course needs a laps= line and at least one gate= line";
    return false;
  }
  course.race_start_info = "Race start info: ";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) course.race_start_info += ';';
    course.race_start_info += entries[i];
  }
  return true;
}

bool LoadCourse(const std::string& path, Course& course, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read course file " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (!ParseCourse(text.str(), course, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace volantis::race_server
