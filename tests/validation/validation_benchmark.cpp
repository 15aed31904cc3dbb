// The local work of one validation run: every check of aircraft 4 (flight-model
// digest, 278 value rows, sim= lines) plus the title search over 50 aircraft
// folders, on our own profile reader. The reader parses each file once per run;
// the "reparse" variant shows what reading the file afresh for every row costs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/app_settings.h"
#include "core/validate_window.h"
#include "platform/buffer_host_memory.h"
#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "server/validation_server.h"
#include "timing_fakes.h"
#include "validation/validator.h"

namespace {

using namespace volantis;


// Forgets every file after each read: a new parse per row.
class ReparsingReader : public ProfileReader {
 public:
  uint32_t ReadRaw(const std::string& path, const char* section, const char* key, char* buffer,
                   uint32_t size) override {
    inner_.ForgetFiles();
    return inner_.ReadRaw(path, section, key, buffer, size);
  }

 private:
  ParsedProfileReader inner_{SystemFileSystem()};
};

// The stand-in installation plus other aircraft folders up to 50 in all.
const std::filesystem::path& Installation() {
  static std::filesystem::path root = [] {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "volantis-bench-sim";
    BuildTimingInstallation(VOLANTIS_SIM_FIXTURE, dir);
    return dir;
  }();
  return root;
}

void RunAircraftFour(benchmark::State& state, ProfileReader& reader) {
  AppSettings settings;
  ValidateWindow log;
  CountingServer server;
  BufferHostMemory host;
  NullSounds sounds;
  NoProcesses processes;
  WorkerGroup workers;
  Validator validator(settings, log, server, host, sounds, processes, SystemFileSystem(), reader, workers);
  validator.set_sim_folder(Installation().string());
  const ReferenceAircraft& aircraft = *FindReferenceAircraft(4);
  for (auto _ : state) {
    reader.ForgetFiles();
    benchmark::DoNotOptimize(validator.ValidateAircraft(aircraft));
  }
  if (server.failures != 0) state.SkipWithError("the stand-in aircraft 4 did not pass");
}

void BM_ValidateAircraftFour(benchmark::State& state) {
  ParsedProfileReader reader(SystemFileSystem());
  RunAircraftFour(state, reader);
}
BENCHMARK(BM_ValidateAircraftFour)->Unit(benchmark::kMillisecond);

void BM_ValidateAircraftFourReparsingEveryRow(benchmark::State& state) {
  ReparsingReader reader;
  RunAircraftFour(state, reader);
}
BENCHMARK(BM_ValidateAircraftFourReparsingEveryRow)->Unit(benchmark::kMillisecond);

void BM_ParseAircraftFourConfig(benchmark::State& state) {
  std::string bytes = ReadWholeFile(Installation() / "Aircraft" / "T6-Texan_Racer" / "Aircraft.cfg");
  for (auto _ : state) {
    ProfileDocument document(bytes);
    benchmark::DoNotOptimize(&document);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ParseAircraftFourConfig)->Unit(benchmark::kMicrosecond);

}  // namespace
