// One reference aircraft's check list, stopping at the first failure.
#include "validation/validator.h"

namespace volantis {

bool Validator::ValidateAircraft(const ReferenceAircraft& aircraft) {
  if (!CheckAirFile(aircraft.air_path, aircraft.air_digest)) return false;

  const std::string cfg_path = sim_folder() + aircraft.cfg_path;
  FileStatus status;
  if (!files_.Status(cfg_path, &status)) {
    server_.SendResults(false, "Error finding config file '%s'", cfg_path.c_str());
    return false;
  }
  for (std::size_t i = 0; i < aircraft.value_check_count; ++i) {
    const ConfigCheck& row = aircraft.value_checks[i];
    std::string message;
    if (!CheckConfigValue(cfg_path, row.section, row.key, row.expected, &message)) {
      server_.SendResultsText(false, message);
      return false;
    }
  }
  if (!CheckSimLine(cfg_path, aircraft.title, aircraft.sim_name)) return false;
  return CheckTitleElsewhere(aircraft.folder, aircraft.title);
}

}  // namespace volantis
