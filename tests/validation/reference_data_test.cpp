// The compiled-in reference data of the five race aircraft.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "validation_fakes.h"

namespace volantis {
namespace {

const ReferenceAircraft& Aircraft(int32_t number) {
  const ReferenceAircraft* aircraft = FindReferenceAircraft(number);
  EXPECT_NE(aircraft, nullptr);
  return *aircraft;
}

// The expected value of the first row with that section and key (section and key
// as written in the row).
std::string Expected(int32_t number, const char* section, const char* key) {
  const ReferenceAircraft& a = Aircraft(number);
  for (std::size_t i = 0; i < a.value_check_count; ++i) {
    if (std::strcmp(a.value_checks[i].section, section) == 0 && std::strcmp(a.value_checks[i].key, key) == 0) {
      const char* expected = a.value_checks[i].expected;
      return expected == nullptr ? "(unknown)" : expected;
    }
  }
  return "(no such row)";
}

TEST(ReferenceAircraftRecords, AreTheFiveRaceAircraft) {
  struct Row {
    const char* folder;
    const char* air_path;
    const char* cfg_path;
    const char* title;
    const char* sim_name;
    std::size_t rows;
  } const rows[] = {
      {"RD_P-51D_Mustang", "\\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air",
       "\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg", "F1 P-51D Mustang-PROPS", "RD_P-51D_GMAX", 209},
      {"Pitts S-2S Bulldog 2K2", "\\Aircraft\\Pitts S-2S Bulldog 2K2\\Pitts S-2S Bulldog.air",
       "\\Aircraft\\Pitts S-2S Bulldog 2K2\\Aircraft.cfg", "Pitts S-2S PROPS", "Pitts S-2S Bulldog", 179},
      {"Legacy2000", "\\Aircraft\\Legacy2000\\Legacy.air", "\\Aircraft\\Legacy2000\\Aircraft.cfg", "Legacy PROPS",
       "Legacy", 240},
      {"P-38L_Racer", "\\Aircraft\\P-38L_Racer\\P-38LRacer.air", "\\Aircraft\\P-38L_Racer\\Aircraft.cfg",
       "PROPS P-38L Racer", "P-38LRacer", 251},
      {"T6-Texan_Racer", "\\Aircraft\\T6-Texan_Racer\\T6-Texan.air", "\\Aircraft\\T6-Texan_Racer\\Aircraft.cfg",
       "PROPS North American LT-6G", "T6-Texan", 278},
  };
  std::size_t total = 0;
  for (int32_t n = 0; n < 5; ++n) {
    SCOPED_TRACE(n);
    const ReferenceAircraft& a = Aircraft(n);
    EXPECT_EQ(a.number, n);
    EXPECT_STREQ(a.folder, rows[n].folder);
    EXPECT_STREQ(a.air_path, rows[n].air_path);
    EXPECT_STREQ(a.cfg_path, rows[n].cfg_path);
    EXPECT_STREQ(a.title, rows[n].title);
    EXPECT_STREQ(a.sim_name, rows[n].sim_name);
    EXPECT_EQ(a.value_check_count, rows[n].rows);
    total += a.value_check_count;
  }
  EXPECT_EQ(total, 1157u);
  EXPECT_EQ(FindReferenceAircraft(5), nullptr);
  EXPECT_EQ(FindReferenceAircraft(-1), nullptr);
}

// The race aircraft's flight-model digests as the race rules publish them.
const Digest kPublishedAirDigests[5] = {
    {0x26DFF7DAu, 0x910D1953u, 0x8DF8084Fu, 0x7A47529Cu, 0xD97B71A1u},
    {0xBD250794u, 0x6AAC4671u, 0xB03D375Bu, 0xE2DB51B4u, 0x5A0F0414u},
    {0x81A05241u, 0x43120979u, 0x8A15042Bu, 0x470F210Cu, 0x37181BEAu},
    {0x1145F9AAu, 0x906412C9u, 0x2E46CAE9u, 0x05393826u, 0xEE561E23u},
    {0x84734F01u, 0xA2018F88u, 0xA4214FB3u, 0xB8306682u, 0x4D29541Cu},
};

TEST(ReferenceAircraftRecords, FlightModelDigestsBelongToTheBuiltSet) {
  if (std::strcmp(ReferenceSetName(), "shipped") == 0) {
    for (int32_t n = 0; n < 5; ++n) EXPECT_EQ(Aircraft(n).air_digest, kPublishedAirDigests[n]) << n;
    return;
  }
  ASSERT_STREQ(ReferenceSetName(), "standin");
  for (int32_t n = 0; n < 5; ++n) {
    EXPECT_NE(Aircraft(n).air_digest, kPublishedAirDigests[n])
        << n << ": the stand-in files are not the race aircraft's";
  }
  for (int32_t n = 0; n < 5; ++n) {
    std::string relative = Aircraft(n).air_path;
    for (char& c : relative) {
      if (c == '\\') c = testing::kSeparator[0];
    }
    std::string bytes = testing::ReadFile(testing::StandInSim::FixturePath() + relative);
    ASSERT_FALSE(bytes.empty()) << relative;
    EXPECT_EQ(Aircraft(n).air_digest, DigestBuffer(bytes.data(), static_cast<int32_t>(bytes.size()))) << n;
  }
}

// The release knows the values the race rules publish and no others (until the
// real reference data is in); the stand-in set knows every value.
TEST(ReferenceValueRows, TheSetKnowsThePublishedValuesOrAll) {
  const std::size_t published[5] = {10, 10, 13, 27, 9};
  for (int32_t n = 0; n < 5; ++n) {
    const bool shipped = std::strcmp(ReferenceSetName(), "shipped") == 0;
    EXPECT_EQ(KnownValueCount(Aircraft(n)), shipped ? published[n] : Aircraft(n).value_check_count) << n;
  }
}

TEST(ReferenceValueRows, QuotedValuesAreKeptExactly) {
  struct Quoted {
    int32_t aircraft;
    const char* section;
    const char* key;
    const char* value;
  } const quoted[] = {
      {0, "flight_tuning", "cruise_lift_scalar", "1.0"},
      {0, "flight_tuning", "parasite_drag_scalar", "0.9"},
      {1, "flight_tuning", "parasite_drag_scalar", "0.5"},
      {1, "flight_tuning", "induced_drag_scalar", "0.9"},
      {1, "flight_tuning", "elevator_effectiveness", "1.1"},
      {1, "flight_tuning", "yaw_stability", "1.0"},
      {2, "flight_tuning", "cruise_lift_scalar", "1.1"},
      {2, "flight_tuning", "parasite_drag_scalar", "0.7"},
      {2, "flight_tuning", "roll_stability", "1.2"},
      {2, "flight_tuning", "elevator_trim_effectiveness", ".8"},
      {2, "flight_tuning", "pitch_stability", "1.0"},
      {3, "flight_tuning", "parasite_drag_scalar", ".762"},
      {3, "flight_tuning", "elevator_effectiveness", "1.08"},
      {3, "flight_tuning", "aileron_effectiveness", "1.1"},
      {3, "flight_tuning", "rudder_effectiveness", "1.151"},
      {3, "flight_tuning", "roll_stability", "0.930"},
      {3, "flight_tuning", "yaw_stability", "1.055"},
      {3, "flight_tuning", "elevator_trim_effectiveness", "1.000"},
      {3, "flight_tuning", "aileron_trim_effectiveness", "1.000"},
      {3, "flight_tuning", "rudder_trim_effectiveness", "1.000"},
      {3, "flight_tuning", "cruise_lift_scalar", "1.00"},
      {3, "flight_tuning", "induced_drag_scalar", "1.00"},
      {3, "flight_tuning", "pitch_stability", "1.00"},
      {3, "flight_tuning", "p_factor_on_yaw", "1.0"},
      {3, "flight_tuning", "torque_on_roll", "1.0"},
      {3, "flight_tuning", "gyro_precession_on_yaw", "1.0"},
      {3, "flight_tuning", "gyro_precession_on_pitch", "1.0"},
      {4, "flight_tuning", "cruise_lift_scalar", "1"},
      {4, "flight_tuning", "parasite_drag_scalar", "0.6"},
      {4, "flight_tuning", "gyro_precession_on_yaw", "1"},
      {0, "piston_engine", "power_scalar", "1.2"},
      {1, "piston_engine", "power_scalar", "1.5"},
      {2, "piston_engine", "power_scalar", "1.00"},
      {3, "piston_engine", "power_scalar", "1.083"},
      {4, "piston_engine", "power_scalar", "1.1"},
      {0, "piston_engine", "max_rated_hp", "3000.0"},
      {1, "piston_engine", "max_rated_hp", "850"},
      {2, "piston_engine", "max_rated_hp", "750"},
      {3, "piston_engine", "max_rated_hp", "1700.000"},
      {4, "piston_engine", "max_rated_hp", "600"},
      {0, "propeller", "thrust_scalar", "1.0"},
      {1, "propeller", "thrust_scalar", "1.1"},
      {2, "propeller", "thrust_scalar", "1.0"},
      {3, "propeller", "thrust_scalar", "1.050"},
      {4, "propeller", "thrust_scalar", "1"},
      {0, "WEIGHT_AND_BALANCE", "empty_weight", "5250.000000"},
      {1, "WEIGHT_AND_BALANCE", "empty_weight", "1160"},
      {2, "weight_and_balance", "empty_weight", "1200"},
      {3, "WEIGHT_AND_BALANCE", "empty_weight", "12000.000"},
      {4, "WEIGHT_AND_BALANCE", "empty_weight", "4270"},
      {0, "WEIGHT_AND_BALANCE", "max_gross_weight", "7875.000000"},
      {1, "WEIGHT_AND_BALANCE", "max_gross_weight", "2095"},
      {2, "weight_and_balance", "max_gross_weight", "2200"},
      {3, "WEIGHT_AND_BALANCE", "max_gross_weight", "21000.000"},
      {4, "WEIGHT_AND_BALANCE", "max_gross_weight", "5500"},
      {0, "Reference Speeds", "max_indicated_speed", "450.000000"},
      {1, "Reference Speeds", "max_indicated_speed", "220.000000"},
      {2, "Reference Speeds", "max_indicated_speed", "400"},
      {3, "Reference Speeds", "max_indicated_speed", "420.000000"},
      {4, "Reference Speeds", "max_indicated_speed", "304"},
      {0, "contact_points", "point.0",
       "1.0, -13.4,  0.0, -4.0, 1800.0, 0.0, 0.56, 30.0, 0.22, 2.5, 1.2, 5.0, 5.0, 0.0, 0.0, 0.0"},
      {0, "LIGHTS", "light.14", "7,   0.00,  -18.50,  -0.70,  fx_RENO_VORTEX"},
      {3, "LIGHTS", "wake", "fx_wake"},
      {3, "LIGHTS", "water", "fx_spray"},
      {3, "LIGHTS", "dirt", "fx_tchdrt"},
      {3, "LIGHTS", "concrete", "fx_sparks"},
      {3, "LIGHTS", "touchdown", "fx_tchdwn_s, 1"},
      {2, "Flaps.0", "system_type", "0"},
  };
  for (const Quoted& q : quoted) {
    EXPECT_EQ(Expected(q.aircraft, q.section, q.key), q.value) << q.aircraft << " " << q.section << " " << q.key;
  }
}

TEST(ReferenceValueRows, KeepTheirWrittenFormsOrderAndShape) {
  // First and last rows and the section spellings that differ between aircraft.
  EXPECT_STREQ(Aircraft(4).value_checks[0].section, "pitot_static");
  EXPECT_STREQ(Aircraft(4).value_checks[277].section, "SMOKESYSTEM");
  EXPECT_STREQ(Aircraft(4).value_checks[277].key, "smoke.4");
  EXPECT_STREQ(Aircraft(0).value_checks[208].key, "light.15");
  EXPECT_STREQ(Aircraft(1).value_checks[0].key, "max_gross_weight");
  EXPECT_EQ(Expected(2, "lights", "light.0") == "(no such row)", false);
  EXPECT_EQ(Expected(2, "Autopilot", "yaw_damper_gain") == "(no such row)", false);
  EXPECT_EQ(Expected(1, "flaps.0", "type") == "(no such row)", false);
  EXPECT_EQ(Expected(4, "flaps.0", "type") == "(no such row)", false);

  for (int32_t n = 0; n < 5; ++n) {
    SCOPED_TRACE(n);
    const ReferenceAircraft& a = Aircraft(n);
    std::set<std::string> finished_sections;
    std::string current;
    for (std::size_t i = 0; i < a.value_check_count; ++i) {
      const ConfigCheck& row = a.value_checks[i];
      std::string value = row.expected == nullptr ? std::string() : row.expected;
      EXPECT_EQ(value.find_first_of("/;"), std::string::npos) << row.key;
      if (!value.empty()) {
        EXPECT_NE(value.front(), ' ') << row.key;
        EXPECT_NE(value.back(), ' ') << row.key;
      }
      EXPECT_NE(std::string(row.section).rfind("fltsim.", 0), 0u) << "variations are not value rows";
      if (row.section != current) {
        EXPECT_TRUE(finished_sections.insert(row.section).second) << "section " << row.section << " comes back";
        current = row.section;
      }
    }
  }

  // Aircraft 2 checks its flaps system type twice; aircraft 3 has no effects section.
  int flaps_system_type = 0;
  for (std::size_t i = 0; i < Aircraft(2).value_check_count; ++i) {
    const ConfigCheck& row = Aircraft(2).value_checks[i];
    if (std::strcmp(row.section, "Flaps.0") == 0 && std::strcmp(row.key, "system_type") == 0) {
      ++flaps_system_type;
      EXPECT_STREQ(row.expected, "0");
    }
  }
  EXPECT_EQ(flaps_system_type, 2);
  for (std::size_t i = 0; i < Aircraft(3).value_check_count; ++i) {
    EXPECT_STRNE(Aircraft(3).value_checks[i].section, "EFFECTS");
  }
}

}  // namespace
}  // namespace volantis
