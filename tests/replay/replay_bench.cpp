// volantis-replay on a race record at the six-hour limit (540,000 rows, 100
// laps): re-judged with the splits and bests, as `volantis-replay RECORD_FOLDER`
// does; and twenty such records compared. The goals: under 0.5 s and 50 MB for
// one record, under 10 s for twenty (memory: /usr/bin/time -v on the tool, see
// docs/race-analysis.md).
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "long_record.h"
#include "race_compare.h"
#include "race_input.h"

namespace {

using namespace volantis;

// Written once per run into the system's temporary folder.
const std::string& LongRecord() {
  static const std::string folder = [] {
    const std::string path = (std::filesystem::temp_directory_path() / "volantis-replay-bench-record").string();
    std::filesystem::create_directories(path);
    std::string error;
    if (!fixtures::WriteLongRecord(path, error)) return std::string();
    return path;
  }();
  return folder;
}

bool Analyse(const std::string& folder, replay::AnalysedRace& race, std::string& error) {
  replay::ReplayArgs args;
  args.record_path = folder;
  replay::RaceInput input;
  return replay::LoadRaceInput(args, input, error) && replay::AnalyseInput(std::move(input), race, error);
}

void BM_RejudgeAndAnalyseSixHourRecord(benchmark::State& bench) {
  const std::string& folder = LongRecord();
  if (folder.empty()) {
    bench.SkipWithError("the record could not be written");
    return;
  }
  for (auto _ : bench) {
    replay::AnalysedRace race;
    std::string error;
    if (!Analyse(folder, race, error)) {
      bench.SkipWithError(error.c_str());
      return;
    }
    if (race.report.analysis.laps.size() != 100) {
      bench.SkipWithError("the record's race did not run 100 laps");
      return;
    }
    benchmark::DoNotOptimize(race.report.analysis.best_lap);
  }
  bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(fixtures::kLongRecordRows));
}
BENCHMARK(BM_RejudgeAndAnalyseSixHourRecord)->Unit(benchmark::kMillisecond);

void BM_CompareTwentySixHourRecords(benchmark::State& bench) {
  const std::string& folder = LongRecord();
  if (folder.empty()) {
    bench.SkipWithError("the record could not be written");
    return;
  }
  for (auto _ : bench) {
    std::vector<replay::AnalysedRace> races(20);
    std::string error;
    for (replay::AnalysedRace& race : races) {
      if (!Analyse(folder, race, error)) {
        bench.SkipWithError(error.c_str());
        return;
      }
      replay::ThinForComparison(race);
    }
    const replay::ComparisonFiles files = replay::CompareRaces(races);
    benchmark::DoNotOptimize(files.files.size());
  }
}
BENCHMARK(BM_CompareTwentySixHourRecords)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
