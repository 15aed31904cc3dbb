// Measures one validation run of aircraft 4 (every check plus the title search
// over 50 aircraft folders) on the Windows half with the system's profile reader
// and with ours. A measuring program, not a test: it prints milliseconds per run.
//   tools/wine/run-wine.sh build/<dir>/tests/validation/validation_wine_timing.exe
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/app_settings.h"
#include "core/validate_window.h"
#include "platform/buffer_host_memory.h"
#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "platform/profile_reader.h"
#include "server/validation_server.h"
#include "timing_fakes.h"
#include "validation/validator.h"

namespace {

using namespace volantis;

double Measure(ProfileReader& reader, const std::string& folder, int runs, int* failures) {
  AppSettings settings;
  ValidateWindow log;
  CountingServer server;
  BufferHostMemory host;
  NullSounds sounds;
  NoProcesses processes;
  WorkerGroup workers;
  Validator validator(settings, log, server, host, sounds, processes, SystemFileSystem(), reader, workers);
  validator.set_sim_folder(folder);
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < runs; ++i) {
    reader.ForgetFiles();
    validator.ValidateAircraft(*FindReferenceAircraft(4));
  }
  ::QueryPerformanceCounter(&end);
  *failures = server.failures;
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / runs;
}

}  // namespace

int main() {
  std::string fixture = VOLANTIS_SIM_FIXTURE;
  for (char& c : fixture) {
    if (c == '/') c = '\\';
  }
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "volantis-timing-sim";
  BuildTimingInstallation(fixture, dir);
  std::string folder = dir.make_preferred().string();
  int failures = 0;
  double system_ms = Measure(SystemProfileReader(), folder, 10, &failures);
  std::printf("system profile reader: %.2f ms per run (%d failed runs)\n", system_ms, failures);
  ParsedProfileReader ours(SystemFileSystem());
  double ours_ms = Measure(ours, folder, 10, &failures);
  std::printf("our profile reader:    %.2f ms per run (%d failed runs)\n", ours_ms, failures);
  std::filesystem::remove_all(dir);
  return 0;
}
