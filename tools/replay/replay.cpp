#include "replay.h"

#include <cstdlib>
#include <memory>

#include "host/command_ids.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/text_format.h"
#include "race/race_monitor.h"
#include "server/race_start_info.h"

namespace volantis::replay {
namespace {

// The recorded counter: every read in a cycle returns that row's value.
class RecordedClock : public Clock {
 public:
  explicit RecordedClock(int64_t frequency) : frequency_(frequency) {}
  void SetCounter(int64_t counter) { counter_ = counter; }
  bool QueryCounter(int64_t& count) override {
    count = counter_;
    return true;
  }
  int64_t QueryFrequency() override { return frequency_; }
  // Far from any host command: only a row's paused switch stops sampling.
  uint32_t TickCount() override { return 0x10000000u; }
  void Sleep(uint32_t) override {}
  LocalDateTime LocalNow() override { return LocalDateTime{}; }

 private:
  int64_t counter_ = 0;
  int64_t frequency_;
};

class ReplayLogWindow : public LogWindow {
 public:
  explicit ReplayLogWindow(std::ostream& out) : out_(out) {}

 protected:
  void Append(const std::string& message) override {
    out_ << "LOG " << message;
    if (message.empty() || message.back() != '\n') out_ << '\n';
    LogWindow::Append(message);
  }

 private:
  std::ostream& out_;
};

class ReplaySounds : public SoundPlayer {
 public:
  explicit ReplaySounds(std::ostream& out) : out_(out) {}
  void Play(const char* name) override { out_ << "SOUND " << name << '\n'; }

 private:
  std::ostream& out_;
};

class ReplayPoster : public HostPoster {
 public:
  explicit ReplayPoster(std::ostream& out) : out_(out) {}
  void PostCommand(uint32_t command) override {
    out_ << "POST " << command << '\n';
    if (command == kCmdRaceFinished) finished = true;
  }
  bool finished = false;

 private:
  std::ostream& out_;
};

// Lines the loader shows (not its detail lines) go to the error stream of the caller.
class TextSink : public LogSink {
 public:
  std::string text;

 protected:
  void Append(const std::string& message) override { text += message; }
};

bool IsNumber(const std::string& text, bool whole) {
  if (text.empty()) return false;
  char* end = nullptr;
  if (whole) {
    static_cast<void>(std::strtol(text.c_str(), &end, 10));
  } else {
    static_cast<void>(std::strtod(text.c_str(), &end));
  }
  return end == text.c_str() + text.size();
}

// The loader reads numbers leniently (a bad one counts as 0); a race director
// replaying a course wants to hear about it instead.
bool CheckCourseNumbers(const std::string& text, std::string& error) {
  std::string info = text;
  const std::string prefix = "Race start info: ";
  if (info.compare(0, prefix.size(), prefix) == 0) info.erase(0, prefix.size());
  std::size_t start = 0;
  int entry_number = 0;
  while (start <= info.size()) {
    std::size_t end = info.find(';', start);
    if (end == std::string::npos) end = info.size();
    const std::string entry = info.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    ++entry_number;
    std::vector<std::string> values;
    std::size_t count = 0;
    bool whole[6] = {true};
    if (entry.compare(0, 5, "laps=") == 0) {
      values.push_back(entry.substr(5));
      count = 1;
    } else if (entry.compare(0, 10, "max_knots=") == 0) {
      values.push_back(entry.substr(10));
      count = 1;
    } else if (entry.compare(0, 5, "gate=") == 0) {
      std::size_t from = 5;
      for (;;) {
        const std::size_t comma = entry.find(',', from);
        values.push_back(entry.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
      count = 6;
      for (int i = 0; i < 6; ++i) whole[i] = i >= 4;
    } else {
      continue;
    }
    if (values.size() != count) {
      error = "entry " + std::to_string(entry_number) + " \"" + entry + "\" needs " + std::to_string(count) +
              " values";
      return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (!IsNumber(values[i], whole[i])) {
        error = "entry " + std::to_string(entry_number) + " \"" + entry + "\": \"" + values[i] + "\" is not " +
                (whole[i] ? "a whole number" : "a number");
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool LoadCourse(const std::string& file_text, AppSettings& settings, std::string& error) {
  // A course saved from an editor ends with a line break the server never sends.
  std::string text = file_text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!CheckCourseNumbers(text, error)) return false;
  TextSink sink;
  std::string problem;
  const RaceStartInfoResult result =
      LoadRaceStartInfo(text, settings.race_definition, sink, kGatesLockTimeoutMs, &problem);
  if (result == RaceStartInfoResult::kNoEntries) {
    error = "the course holds no race start info entries";
    return false;
  }
  if (result == RaceStartInfoResult::kBadData) {
    error = "the module would refuse this course as bad data: " + problem;
    return false;
  }
  if (result != RaceStartInfoResult::kLoaded) {
    error = "the course could not be loaded: " + sink.text;
    return false;
  }
  GatesLockGuard guard(settings.race_definition);
  if (settings.race_definition.gates.empty()) {
    error = "the course has no valid \"gate=\" entry";
    return false;
  }
  if (settings.race_definition.laps.load() < 1) {
    error = "the course has no \"laps=\" entry of at least 1";
    return false;
  }
  return true;
}

std::vector<ResultField> ResultFields(const RaceResults& results) {
  const auto flag = [](bool set) { return std::string(set ? "1" : "0"); };
  return {
      {"moved_too_fast", flag(results.moved_too_fast)},
      {"cheated_crash_detect", flag(results.cheated_crash_detect)},
      {"slewed", flag(results.slewed)},
      {"cheated_sim_rate", flag(results.cheated_sim_rate)},
      {"lap_times", FormatLapTimes(results)},
      {"lap_skips", FormatLapSkips(results)},
      {"race_time", FormatText("%f", results.race_time)},
      {"finish_secs", FormatText("%f", results.finish_secs)},
  };
}

std::string ResultQuery(const RaceResults& results) {
  std::string query;
  for (const ResultField& field : ResultFields(results)) {
    if (!query.empty()) query += '&';
    query += field.name + "=" + field.value;
  }
  return query;
}

RaceResults ReplayTrack(AppSettings& settings, const ReplayOptions& options, const std::vector<TrackRow>& rows,
                        std::ostream& out, CycleObserver* observer) {
  RowList list(rows);
  return ReplayTrack(settings, options, list, out, observer);
}

RaceResults ReplayTrack(AppSettings& settings, const ReplayOptions& options, RowSource& rows, std::ostream& out,
                        CycleObserver* observer) {
  settings.race_definition.clock_offset = options.clock_offset;
  settings.sound_cross = options.sound_cross;
  settings.sound_skip = options.sound_skip;
  settings.sound_end = options.sound_end;

  RecordedClock clock(options.frequency);
  ReplaySounds sounds(out);
  ReplayPoster poster(out);
  BufferHostMemory memory;
  RaceState state(std::make_unique<ReplayLogWindow>(out));
  RaceMonitor monitor(state, RaceServices{settings, clock, sounds, poster}, memory);

  state.Reset();  // what a race start does before the first cycle
  state.BeginOn(settings.race_definition);
  TrackRow row;
  for (std::size_t i = 0; rows.Next(row); ++i) {
    memory.Write<int64_t>(kOffsetLatitude, row.lat_raw);
    memory.Write<int64_t>(kOffsetLongitude, row.lon_raw);
    memory.Write<int64_t>(kOffsetAltitude, row.alt_raw);
    memory.Write<int16_t>(kOffsetSimulationRate, row.rate_raw);
    memory.Write<int8_t>(kOffsetCrashDetection, row.crash);
    memory.Write<uint16_t>(kOffsetSlew, row.slew);
    clock.SetCounter(row.counter);
    state.sampling_paused = row.paused;
    if (observer != nullptr) observer->BeforeCycle(i, row, state);
    monitor.MonitorCycle();
    if (observer != nullptr) observer->AfterCycle(i, row, state);
    if (poster.finished) break;  // the finish stops the monitor
  }

  const RaceResults results = state.Results();
  out << "RESULT " << ResultQuery(results) << '\n';
  return results;
}

}  // namespace volantis::replay
