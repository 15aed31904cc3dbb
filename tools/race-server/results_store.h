#pragma once
// The race results the stand-in server accepted: appended to a file as JSON
// lines and shown on the results page as an HTML table.
#include <mutex>
#include <string>
#include <vector>

namespace volantis::race_server {

struct ResultRecord {
  std::string received_at;  // local time, "YYYY-MM-DD HH:MM:SS"
  std::string player;
  std::string version;
  std::string lap_times;  // as sent: "61.500000,60.250000"
  std::string lap_skips;
  double race_time = 0;
  double finish_secs = 0;
  double sync_delay = 0;
  int moved_too_fast = 0;
  int cheated_crash_detect = 0;
  int slewed = 0;
  int cheated_sim_rate = 0;
  bool repeat = false;  // the same player, finish and lap times as an earlier submission
};

std::string ToJsonLine(const ResultRecord& record);
std::string EscapeHtml(const std::string& text);

class ResultsStore {
 public:
  explicit ResultsStore(std::string path) : path_(std::move(path)) {}
  // Keeps the record and appends its JSON line to the file (when a path is set);
  // false when the file cannot be written (the record is still kept).
  bool Add(const ResultRecord& record);
  std::vector<ResultRecord> All();
  std::string HtmlPage();

 private:
  std::mutex lock_;
  std::string path_;
  std::vector<ResultRecord> records_;
};

}  // namespace volantis::race_server
