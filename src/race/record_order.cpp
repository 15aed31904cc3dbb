#include "race/record_order.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/utc_time.h"
#include "race/race_record_names.h"

namespace volantis {
namespace {

constexpr std::size_t kRaceTextMax = 16 * 1024;

bool StartedLine(RecordFiles& files, const std::string& path, int64_t* started_utc) {
  UniqueFile file = files.Open(path, "rb");
  if (!file) return false;
  std::string text;
  char buffer[2048];
  std::size_t got;
  while (text.size() < kRaceTextMax && (got = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) {
    text.append(buffer, got);
  }
  const std::string key = "started=";
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, key.size(), key) == 0) return ParseUtcText(line.substr(key.size()), started_utc);
  }
  return false;
}

}  // namespace

bool RecordStart(RecordFiles& files, const std::string& races, const std::string& name, int64_t* started_utc) {
  int64_t by_name = 0;
  if (!ParseRaceRecordName(name, &by_name)) return false;
  if (!StartedLine(files, files.Join(files.Join(races, name), "race.txt"), started_utc)) *started_utc = by_name;
  return true;
}

void SortRecordsOldestFirst(RecordFiles& files, const std::string& races, std::vector<std::string>& names) {
  std::vector<std::pair<int64_t, std::string>> dated;
  dated.reserve(names.size());
  for (std::string& name : names) {
    int64_t started = 0;
    if (RecordStart(files, races, name, &started)) dated.emplace_back(started, std::move(name));
  }
  std::sort(dated.begin(), dated.end());
  names.clear();
  for (auto& each : dated) names.push_back(std::move(each.second));
}

}  // namespace volantis
