// The module plays its sounds from its own file: ten WAVE resources (a named
// resource type), US English, each a whole RIFF/WAVE file.
#include <cstring>

#include "module_checks.h"

namespace volantis::pecheck {
namespace {

constexpr uint16_t kUsEnglish = 1033;
const char* const kSoundNames[] = {
    "WAVE_VALIDATE_START",           "WAVE_VALIDATE_SEND_ERROR", "WAVE_VALIDATE_ERROR",     "WAVE_VALIDATE_OK",
    "WAVE_VALIDATE_OK_RACE_STARTED", "WAVE_GATE_CROSSED_DING",   "WAVE_GATE_SKIPPED_CHORD", "WAVE_RACE_FINISHED",
    "WAVE_RACE_RESULTS_OK",          "WAVE_RACE_RESULTS_ERROR"};

void CheckSound(const PeImage& image, const std::vector<Resource>& resources, const char* name, Problems* problems) {
  const std::string what = std::string("sound WAVE/") + name;
  const ResourceKey type = ResourceKey::Name("WAVE");
  const ResourceKey key = ResourceKey::Name(name);
  const Resource* sound = nullptr;
  const Resource* other_language = nullptr;
  for (const Resource& r : resources) {
    if (r.type == type && r.name == key) (r.language == kUsEnglish ? sound : other_language) = &r;
  }
  if (!sound) {
    problems->push_back("missing " + what +
                        (other_language
                             ? " in language 1033 (it has language " + std::to_string(other_language->language) + ")"
                             : std::string()));
    return;
  }
  const uint8_t* data = ResourceData(image, *sound, what, problems);
  if (!data) return;
  const ByteView bytes(data, sound->size);
  if (!bytes.Has(0, 12) || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
    problems->push_back(what + " is not a RIFF/WAVE file");
    return;
  }
  const uint32_t riff_size = *bytes.U32(4);
  if (uint64_t{riff_size} + 8 > sound->size) {
    problems->push_back(what + " is cut short: its RIFF header says " + std::to_string(uint64_t{riff_size} + 8) +
                        " bytes, the resource holds " + std::to_string(sound->size));
  }
}

}  // namespace

void CheckSounds(const PeImage& image, const std::vector<Resource>& resources, Problems* problems) {
  for (const char* name : kSoundNames) CheckSound(image, resources, name, problems);
}

}  // namespace volantis::pecheck
