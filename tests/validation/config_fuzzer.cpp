// Fuzzes our profile reader and the three configuration checks with arbitrary
// aircraft.cfg contents: binary bytes, endless lines, thousands of sections,
// missing brackets, zero bytes. The file is written once as the aircraft's own
// configuration file and once as another folder's, then every check runs over it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/app_settings.h"
#include "core/validate_window.h"
#include "platform/buffer_host_memory.h"
#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "platform/profile_parser.h"
#include "platform/sound_player.h"
#include "server/validation_server.h"
#include "validation/validator.h"

namespace {

using namespace volantis;

class NullServer : public ValidationServer {
 public:
  bool TimeSync() override { return true; }
  void SendResultsText(bool, const std::string& message) override { last_size = message.size(); }
  std::size_t last_size = 0;
};

class NullSounds : public SoundPlayer {
 public:
  void Play(const char*) override {}
};

class NoProcesses : public ProcessList {
 public:
  bool SnapshotProcesses(std::vector<ProcessEntry>* processes) override {
    processes->clear();
    return true;
  }
  FirstModuleResult FirstModule(uint32_t) override { return FirstModuleResult(); }
  uint32_t OwnProcessId() override { return 1; }
};

struct World {
  World() {
    root = std::filesystem::temp_directory_path() / ("volantis-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "Aircraft" / "Own");
    std::filesystem::create_directories(root / "Aircraft" / "Other");
    validator.set_sim_folder(root.string());
  }
  ~World() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
  AppSettings settings;
  ValidateWindow log;
  NullServer server;
  BufferHostMemory host;
  NullSounds sounds;
  NoProcesses processes;
  ParsedProfileReader reader{SystemFileSystem()};
  WorkerGroup workers;
  Validator validator{settings, log, server, host, sounds, processes, SystemFileSystem(), reader, workers};
};

void Write(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  std::string bytes(reinterpret_cast<const char*>(data), size);

  // The parser straight over the bytes: section list at several sizes, then every
  // listed section's race keys.
  volantis::ProfileDocument document(bytes);
  char list[10000];
  for (uint32_t list_size : {1u, 2u, 3u, 17u, 10000u}) {
    uint32_t length = document.Read(nullptr, nullptr, list, list_size);
    if (length >= list_size && list_size > 1) std::abort();
    if (list[length] != '\0') std::abort();
  }
  char value[1000];
  for (const char* key : {"title", "sim", "", "wake"}) {
    uint32_t length = document.Read("fltsim.0", key, value, sizeof value);
    if (length >= sizeof value || value[length] != '\0') std::abort();
  }

  // The checks over the same bytes as files of the installation.
  Write(world.root / "Aircraft" / "Own" / "aircraft.cfg", data, size);
  Write(world.root / "Aircraft" / "Other" / "aircraft.cfg", data, size);
  world.reader.ForgetFiles();
  std::string cfg = world.validator.sim_folder() + "\\Aircraft\\Own\\aircraft.cfg";
  std::string message;
  world.validator.CheckConfigValue(cfg, "flight_tuning", "cruise_lift_scalar", "1.0", &message);
  world.validator.CheckConfigValue(cfg, "LIGHTS", "light.14", "7,   0.00", &message);
  world.validator.CheckSimLine(cfg, "F1 P-51D Mustang-PROPS", "RD_P-51D_GMAX");
  world.validator.CheckTitleElsewhere("Own", "F1");
  if (world.server.last_size > 999) std::abort();
  return 0;
}
