#include "validation/reference_aircraft.h"

namespace volantis {
namespace {

ReferenceAircraft Record(int32_t number, const char* folder, const char* air_path, const char* cfg_path,
                         const char* title, const char* sim_name) {
  return ReferenceAircraft{number,   folder, air_path,
                           kReferenceAirDigests[number],
                           cfg_path, title,  sim_name,
                           kReferenceValueChecks[number], kReferenceValueCheckCounts[number]};
}

const ReferenceAircraft* Records() {
  static const ReferenceAircraft records[kReferenceAircraftCount] = {
      Record(0, "RD_P-51D_Mustang", "\\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air",
             "\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg", "F1 P-51D Mustang-PROPS", "RD_P-51D_GMAX"),
      Record(1, "Pitts S-2S Bulldog 2K2", "\\Aircraft\\Pitts S-2S Bulldog 2K2\\Pitts S-2S Bulldog.air",
             "\\Aircraft\\Pitts S-2S Bulldog 2K2\\Aircraft.cfg", "Pitts S-2S PROPS", "Pitts S-2S Bulldog"),
      Record(2, "Legacy2000", "\\Aircraft\\Legacy2000\\Legacy.air", "\\Aircraft\\Legacy2000\\Aircraft.cfg",
             "Legacy PROPS", "Legacy"),
      Record(3, "P-38L_Racer", "\\Aircraft\\P-38L_Racer\\P-38LRacer.air", "\\Aircraft\\P-38L_Racer\\Aircraft.cfg",
             "PROPS P-38L Racer", "P-38LRacer"),
      Record(4, "T6-Texan_Racer", "\\Aircraft\\T6-Texan_Racer\\T6-Texan.air",
             "\\Aircraft\\T6-Texan_Racer\\Aircraft.cfg", "PROPS North American LT-6G", "T6-Texan"),
  };
  return records;
}

}  // namespace

const ReferenceAircraft* FindReferenceAircraft(int32_t number) {
  if (number < 0 || number >= kReferenceAircraftCount) return nullptr;
  return &Records()[number];
}

std::size_t KnownValueCount(const ReferenceAircraft& aircraft) {
  std::size_t known = 0;
  for (std::size_t i = 0; i < aircraft.value_check_count; ++i) {
    if (aircraft.value_checks[i].expected != nullptr) ++known;
  }
  return known;
}

const char* ReferenceSetName() { return kReferenceSetName; }

}  // namespace volantis
