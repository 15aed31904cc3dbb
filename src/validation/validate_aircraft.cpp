// One reference aircraft's check list, stopping at the first failure. Once the
// module is ending the list stops before its next check and reports nothing.
#include "validation/validator.h"

namespace volantis {

bool Validator::ValidateAircraft(const ReferenceAircraft& aircraft) {
  // A build that knows only the published values checks only those, and says so.
  const std::size_t known = KnownValueCount(aircraft);
  if (known < aircraft.value_check_count) {
    log_.Log(kLogNormal, kUncheckedValuesText, static_cast<unsigned long>(known),
             static_cast<unsigned long>(aircraft.value_check_count));
  }
  if (workers_.ending() || !CheckAirFile(aircraft.air_path, aircraft.air_digest)) return false;

  const std::string cfg_path = sim_folder() + aircraft.cfg_path;
  FileStatus status;
  if (workers_.ending()) return false;
  if (!files_.Status(cfg_path, &status)) {
    server_.SendResults(false, "Error finding config file '%s'", cfg_path.c_str());
    return false;
  }
  for (std::size_t i = 0; i < aircraft.value_check_count; ++i) {
    if (workers_.ending()) return false;
    const ConfigCheck& row = aircraft.value_checks[i];
    if (row.expected == nullptr) continue;  // not known to this build
    std::string message;
    if (!CheckConfigValue(cfg_path, row.section, row.key, row.expected, &message)) {
      server_.SendResultsText(false, message);
      return false;
    }
  }
  if (workers_.ending() || !CheckSimLine(cfg_path, aircraft.title, aircraft.sim_name)) return false;
  return !workers_.ending() && CheckTitleElsewhere(aircraft.folder, aircraft.title) && !workers_.ending();
}

}  // namespace volantis
