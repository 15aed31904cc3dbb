#include "race_record.h"

#include <cstddef>

#include "option_values.h"
#include "text_file.h"

namespace volantis::replay {
namespace {

std::string InFolder(const std::string& folder, const char* name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace

bool ReadRaceText(const std::string& text, ReplayOptions& options, std::string& error) {
  RaceRecordFiles record;
  record.options = options;
  if (!ReadRaceText(text, record, error)) return false;
  options = record.options;
  return true;
}

bool ReadRaceText(const std::string& text, RaceRecordFiles& record, std::string& error) {
  ReplayOptions& options = record.options;
  std::size_t start = 0;
  for (std::size_t number = 1; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    const std::string where = "race.txt line " + std::to_string(number) + ": ";
    if (equals == std::string::npos) {
      error = where + "\"" + line + "\" is not key=value";
      return false;
    }
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "started") record.started = value;
    if (key == "player") record.player = value;
    if (key == "clock_offset" && !ParseClockOffset(value, options.clock_offset)) {
      error = where + "clock_offset \"" + value + "\" is not a number of seconds";
      return false;
    }
    if (key == "frequency" && !ParseFrequency(value, options.frequency)) {
      error = where + "frequency \"" + value + "\" is not a positive whole number of counts per second";
      return false;
    }
    if (key == "sounds" && !ParseSounds(value, options)) {
      error = where + "sounds \"" + value + "\" is not three 0/1 switches such as 1,0,1";
      return false;
    }
  }
  return true;
}

bool ReadRaceRecord(const std::string& folder, RaceRecordFiles& record, std::string& error) {
  record.course_path = InFolder(folder, "course.txt");
  record.track_path = InFolder(folder, "track.csv");
  std::string race_text;
  if (!ReadTextFile(InFolder(folder, "race.txt"), race_text, error)) return false;
  if (!ReadRaceText(race_text, record, error)) return false;
  if (!ReadTextFile(InFolder(folder, "log.txt"), record.log_text, error)) return false;
  const std::string results_path = InFolder(folder, "results.txt");
  record.results_recorded = FileExists(results_path);
  return !record.results_recorded || ReadTextFile(results_path, record.results_text, error);
}

}  // namespace volantis::replay
