// volantis-replay: re-judges a recorded flight for race directors.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <fstream>
#include <iostream>
#include <sstream>

#include "race_analysis.h"
#include "race_compare.h"
#include "race_export.h"
#include "race_input.h"
#include "race_record.h"
#include "record_check.h"
#include "replay.h"
#include "replay_args.h"
#include "replay_report.h"
#include "text_file.h"

namespace {

constexpr int kBadInput = 2;
constexpr int kRecordDiffers = 1;

int Fail(const std::string& message) {
  std::cerr << "volantis-replay: " << message << '\n';
  return kBadInput;
}

// Writes `text` to `path` through a temporary beside it, so a reader never sees half a file.
bool WriteWhole(const std::string& path, const std::string& text, std::string& error) {
  const std::string temporary = path + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
      error = "cannot write \"" + temporary + "\": " + std::strerror(errno);
      return false;
    }
    file << text;
    file.close();
    if (!file) {
      error = "cannot write \"" + temporary + "\"";
      return false;
    }
  }
  // Replaces an older file of that name on either platform.
  std::error_code failed;
  std::filesystem::rename(temporary, path, failed);
  if (failed) {
    error = "cannot rename \"" + temporary + "\" to \"" + path + "\": " + failed.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int RunComparison(const volantis::replay::ReplayArgs& args) {
  using namespace volantis::replay;
  if (!IsFolder(args.compare_folder)) {
    return Fail("--compare: \"" + args.compare_folder + "\" is not a folder (create it first)");
  }
  // Made whole at once: a race is moved nowhere once analysed.
  std::vector<AnalysedRace> races(args.compare_records.size());
  std::string error;
  for (std::size_t i = 0; i < args.compare_records.size(); ++i) {
    const std::string& folder = args.compare_records[i];
    std::cerr << "volantis-replay: [" << i + 1 << "/" << args.compare_records.size() << "] " << folder << '\n';
    ReplayArgs one = args;
    one.compare_folder.clear();
    one.record_path = folder;
    RaceInput input;
    if (!LoadRaceInput(one, input, error)) return Fail("\"" + folder + "\": " + error);
    if (i > 0) {
      const std::string& first = races.front().input.course_text;
      if (!SameCourse(first, input.course_text)) {
        return Fail("records of different courses: \"" + races.front().input.record_path + "\" flies " +
                    CourseName(first) + ", \"" + folder + "\" flies " + CourseName(input.course_text));
      }
    }
    if (!AnalyseInput(std::move(input), races[i], error)) return Fail("\"" + folder + "\": " + error);
    ThinForComparison(races[i]);
  }
  const ComparisonFiles files = CompareRaces(races);
  for (const auto& [name, text] : files.files) {
    const std::string path = args.compare_folder + (args.compare_folder.back() == '/' ? "" : "/") + name;
    if (!WriteWhole(path, text, error)) return Fail("--compare: " + error);
  }
  std::cout << files.summary << std::flush;
  return std::cout ? 0 : 1;
}

int Run(int argc, char** argv) {
  using namespace volantis::replay;
  ReplayArgs args;
  std::string error;
  if (!ParseReplayArgs(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
    std::cerr << "volantis-replay: " << error << '\n' << kUsage;
    return kBadInput;
  }
  if (args.help) {
    std::cout << kUsage;
    return 0;
  }

  if (!args.compare_folder.empty()) return RunComparison(args);

  // A race record names its COURSE and TRACK and brings the options the race ran with.
  RaceInput input;
  if (!LoadRaceInput(args, input, error)) return Fail(error);
  const bool from_record = input.from_record;
  const RaceRecordFiles& record = input.record;

  volantis::AppSettings settings;
  if (!LoadCourse(input.course_text, settings, error)) {
    return Fail("COURSE \"" + input.course_path + "\": " + error);
  }

  // The output files are opened before anything is judged, so a bad path writes nothing.
  struct OutputFile {
    const char* option;
    const std::string& path;
    std::ofstream file;
  };
  OutputFile map_file{"--map", args.map_path, {}};
  OutputFile csv_file{"--csv", args.csv_path, {}};
  OutputFile json_file{"--json", args.json_path, {}};
  for (OutputFile* f : {&map_file, &csv_file, &json_file}) {
    if (f->path.empty()) continue;
    f->file.open(f->path, std::ios::binary | std::ios::trunc);
    if (!f->file) return Fail(std::string(f->option) + ": cannot write \"" + f->path + "\": " + std::strerror(errno));
  }

  ReportRequest request;
  request.explain = args.explain;
  request.map = !args.map_path.empty();
  request.splits = args.splits || from_record;
  if (from_record) request.started_utc = ParseUtcStamp(record.started);
  AnalysedRace race;
  const bool exports = !args.csv_path.empty() || !args.json_path.empty();
  if (exports) request.report = &race.report;
  std::ostringstream out;
  std::ostringstream splits;  // after the verdict
  request.splits_out = &splits;
  std::string map_svg;
  volantis::RaceResults results;
  std::string track_note;
  if (!ReplayInput(settings, input, request, out, map_svg, results, track_note, error)) {
    // Bad input writes nothing: the files opened for it go again.
    for (OutputFile* f : {&map_file, &csv_file, &json_file}) {
      if (f->path.empty()) continue;
      f->file.close();
      std::remove(f->path.c_str());
    }
    return Fail(error);
  }
  if (exports) {
    race.name = from_record ? LastName(input.record_path) : input.track_path;
    race.pilot = record.player;
    race.started = record.started;
    race.results = results;
    race.input.from_record = from_record;
    race.input.record_path = input.record_path;
    race.input.record = record;
    race.input.options = input.options;
  }
  std::string csv_text;
  if (!args.csv_path.empty()) {
    std::ostringstream csv;
    csv << LapsCsvHeader(race.report.analysis.gates);
    WriteLapsCsvRows(race, csv);
    csv_text = csv.str();
  }
  std::string json_text;
  if (!args.json_path.empty()) {
    std::ostringstream json;
    WriteRaceJson(race, json);
    json_text = json.str();
  }
  for (auto [f, text] : {std::pair<OutputFile*, const std::string*>{&map_file, &map_svg}, {&csv_file, &csv_text},
                         {&json_file, &json_text}}) {
    if (f->path.empty()) continue;
    f->file << *text;
    f->file.close();
    if (!f->file) return Fail(std::string(f->option) + ": cannot write \"" + f->path + "\"");
  }
  bool agrees = true;
  if (from_record) {
    const RecordVerdict verdict = CompareWithRecord(out.str(), results, record);
    WriteRecordVerdict(verdict, out);
    agrees = verdict.differences.empty();
  }
  if (!track_note.empty()) std::cout << "NOTE TRACK \"" << input.track_path << "\" " << track_note << '\n';
  std::cout << out.str() << splits.str() << std::flush;
  if (!std::cout) return 1;
  return agrees ? 0 : kRecordDiffers;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return Fail(std::string("failed: ") + e.what());
  } catch (...) {
    return Fail("failed");
  }
}
