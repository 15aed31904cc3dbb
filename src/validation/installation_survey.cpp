// After a failed check list: every mismatch of the same aircraft's installation,
// so that a pilot can mend them all at once instead of one validation per
// mismatch. The survey reads the same files by the same rules as the check list
// and reports nothing to the race server; its lines go to the Validate window.
#include "validation/validator.h"

namespace volantis {

std::vector<std::string> Validator::SurveyMismatches(const ReferenceAircraft& aircraft) {
  std::vector<std::string> found;
  const std::string air_path = sim_folder() + aircraft.air_path;
  FileStatus air_status;
  Digest digest;
  if (!files_.Status(air_path, &air_status)) {
    found.push_back(FormatText("Missing: flight-model file '%s'.\n", air_path.c_str()));
  } else if (!DigestFile(air_path, &digest)) {
    found.push_back(FormatText("Unreadable: flight-model file '%s'.\n", air_path.c_str()));
  } else if (!(digest == aircraft.air_digest)) {
    found.push_back(FormatText("Changed: flight-model file '%s' (%lu bytes) differs from the reference.\n",
                               air_path.c_str(), static_cast<unsigned long>(air_status.size)));
  }

  const std::string cfg_path = sim_folder() + aircraft.cfg_path;
  FileStatus cfg_status;
  if (!files_.Status(cfg_path, &cfg_status)) {
    found.push_back(FormatText("Missing: config file '%s'.\n", cfg_path.c_str()));
    return found;
  }
  for (std::size_t i = 0; i < aircraft.value_check_count; ++i) {
    if (workers_.ending()) return found;
    const ConfigCheck& row = aircraft.value_checks[i];
    if (row.expected == nullptr) continue;  // not known to this build
    const std::string value =
        CleanConfigValue(ReadProfileValue(profiles_, cfg_path, row.section, row.key, kConfigValueBufferSize));
    if (value == row.expected) continue;
    found.push_back(FormatText("Mismatch: file '%s', section '%s', key '%s': found '%s', expected '%s'.\n",
                               cfg_path.c_str(), row.section, row.key, value.c_str(), row.expected));
  }
  ForEachVariation(cfg_path, [&](const std::string& section) {
    const std::string title = ReadProfileValue(profiles_, cfg_path, section.c_str(), "title", kTitleBufferSize);
    if (!TitleCarriesRaceTitle(title, aircraft.title)) return true;
    const std::string sim = ReadProfileValue(profiles_, cfg_path, section.c_str(), "sim", kTitleBufferSize);
    if (!TextsEqualIgnoringCase(sim, aircraft.sim_name)) {
      found.push_back(FormatText("Mismatch: file '%s', section '%s', key 'sim': found '%s', expected '%s'.\n",
                                 cfg_path.c_str(), section.c_str(), sim.c_str(), aircraft.sim_name));
    }
    return true;
  });
  return found;
}

void Validator::ReportOtherMismatches(const ReferenceAircraft& aircraft) {
  std::vector<std::string> found = SurveyMismatches(aircraft);
  if (found.empty() || workers_.ending()) return;
  // The check list stops at the first mismatch in this same order: the one the
  // server was told of. The pilot sees it first, then the others.
  log_.LogText(kLogNormal, kStoppedTheValidationText);
  log_.LogText(kLogNormal, found[0]);
  if (found.size() == 1) return;
  const std::size_t others = found.size() - 1;
  log_.LogText(kLogNormal, FormatText("%lu other mismatch%s of this aircraft's installation (mend them all before "
                                      "validating again):\n",
                                      static_cast<unsigned long>(others), others == 1 ? "" : "es"));
  const std::size_t shown = others < kMismatchLinesShown ? others : kMismatchLinesShown;
  for (std::size_t i = 1; i <= shown; ++i) log_.LogText(kLogNormal, found[i]);
  if (others > shown) log_.LogText(kLogNormal, FormatText("... and %lu more.\n", static_cast<unsigned long>(others - shown)));
}

}  // namespace volantis
