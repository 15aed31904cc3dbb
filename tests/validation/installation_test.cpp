// Whole check lists over a copy of the stand-in installation, damaged one way at
// a time: the first problem in check order is the one reported, and only it.
#include <gtest/gtest.h>

#include <cstring>

#include "validation_fakes.h"

namespace volantis {
namespace {

using testing::Harness;
using testing::ReplaceInFile;
using testing::StandInSim;

class InstallationTest : public ::testing::Test {
 protected:
  InstallationTest() { h_.validator.set_sim_folder(sim_.folder()); }
  void SetUp() override {
    if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  }

  // Runs the check list of one aircraft; returns the one failure message, or
  // "passed" when the list passed without a report.
  std::string Validate(int32_t number) {
    h_.Profiles().ForgetFiles();
    bool passed = h_.validator.ValidateAircraft(*FindReferenceAircraft(number));
    auto reports = h_.server.Reports();
    if (passed) return reports.empty() ? "passed" : "passed with a report: " + reports[0].message;
    if (reports.size() != 1) return "failed with " + std::to_string(reports.size()) + " reports";
    EXPECT_FALSE(reports[0].success);
    return reports[0].message;
  }
  std::string Cfg(const char* folder) { return sim_.folder() + "\\Aircraft\\" + folder + "\\Aircraft.cfg"; }

  StandInSim sim_;
  Harness h_;
};

// The release's data before the real reference values are in: the values it
// knows and the flight-model digest are compared, the unknown rows are skipped,
// and the Validate window says once how many values were checked. With every
// value known there is no such line.
TEST_F(InstallationTest, UnknownValuesAreSkippedAndCounted) {
  const ReferenceAircraft& full = *FindReferenceAircraft(0);
  std::vector<ConfigCheck> rows(full.value_checks, full.value_checks + full.value_check_count);
  std::size_t known = 0;
  for (ConfigCheck& row : rows) {
    if (std::strcmp(row.section, "flight_tuning") == 0) {
      ++known;
    } else {
      row.expected = nullptr;
    }
  }
  ASSERT_GT(known, 0u);
  ReferenceAircraft partial = full;
  partial.value_checks = rows.data();
  EXPECT_EQ(KnownValueCount(partial), known);
  const std::string line = "This build knows " + std::to_string(known) + " of the " + std::to_string(rows.size()) +
                           " configuration values of the race aircraft; the others were not checked.";
  auto run = [&](const ReferenceAircraft& aircraft) {
    h_.Profiles().ForgetFiles();
    h_.server.reports.clear();  // no run thread: read and cleared on this one
    h_.log.SetLogText(std::string());
    const bool passed = h_.validator.ValidateAircraft(aircraft);
    auto reports = h_.server.Reports();
    return passed ? std::string("passed") : reports.empty() ? std::string("no report") : reports[0].message;
  };
  auto lines_saying = [&](const std::string& text) {
    std::size_t count = 0;
    const std::string all = h_.log.log_text();
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
    return count;
  };

  EXPECT_EQ(run(partial), "passed");
  EXPECT_EQ(lines_saying(line), 1u) << h_.log.log_text();

  // An unknown row may hold anything.
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("RD_P-51D_Mustang"), "number_of_exits=1.987", "number_of_exits=3"));
  EXPECT_EQ(run(partial), "passed");
  // The full data would have caught it, and says nothing about unchecked values.
  EXPECT_NE(run(full).find("key: 'number_of_exits', value: '3' should be '1.987'"), std::string::npos);
  EXPECT_EQ(lines_saying("configuration values of the race aircraft"), 0u) << h_.log.log_text();

  // A known row is compared.
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("RD_P-51D_Mustang"), "parasite_drag_scalar=0.9", "parasite_drag_scalar=0.5"));
  EXPECT_EQ(run(partial), "Bad config value. File: '" + Cfg("RD_P-51D_Mustang") +
                              "', section: 'flight_tuning', key: 'parasite_drag_scalar', value: '0.5' should be "
                              "'0.9'.\n");
  EXPECT_EQ(lines_saying(line), 1u);
  // The survey after a failure lists only what the build knows.
  h_.validator.ReportOtherMismatches(partial);
  EXPECT_EQ(lines_saying("number_of_exits"), 0u) << h_.log.log_text();
  EXPECT_EQ(lines_saying("parasite_drag_scalar"), 1u) << h_.log.log_text();

  // The digest is compared.
  ReferenceAircraft other_digest = partial;
  other_digest.air_digest.h0 ^= 1;
  EXPECT_NE(run(other_digest).find(".air"), std::string::npos);
}

TEST_F(InstallationTest, EveryStandInAircraftPasses) {
  for (int32_t n = 0; n < 5; ++n) {
    EXPECT_EQ(Validate(n), "passed") << n;
  }
}

TEST_F(InstallationTest, BothFilesMissingNamesTheFlightModelFile) {
  std::filesystem::remove(sim_.cfg("RD_P-51D_Mustang"));
  std::filesystem::remove(sim_.aircraft("RD_P-51D_Mustang") / "RD_P-51D_GMAX.air");
  EXPECT_EQ(Validate(0), "Error finding .air file '" + sim_.folder() +
                             "\\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air'");
}

TEST_F(InstallationTest, MissingConfigFileIsNamed) {
  std::filesystem::remove(sim_.cfg("Legacy2000"));
  EXPECT_EQ(Validate(2), "Error finding config file '" + Cfg("Legacy2000") + "'");
}

TEST_F(InstallationTest, FirstWrongValueIsReportedBeforeAWrongSimLine) {
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("RD_P-51D_Mustang"), "sim=RD_P-51D_GMAX", "sim=Hot_Rod"));
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("RD_P-51D_Mustang"), "parasite_drag_scalar=0.9", "parasite_drag_scalar=0.5"));
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("RD_P-51D_Mustang"), "max_rated_hp", "max_rated_hp=3500\r\nx_max_rated_hp"));
  EXPECT_EQ(Validate(0), "Bad config value. File: '" + Cfg("RD_P-51D_Mustang") +
                             "', section: 'flight_tuning', key: 'parasite_drag_scalar', value: '0.5' should be "
                             "'0.9'.\n");
}

TEST_F(InstallationTest, WrongSimLineFailsOnlyAfterAllValuesPassed) {
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("P-38L_Racer"), "sim=P-38LRacer", "sim=P-38LFaster"));
  EXPECT_EQ(Validate(3), "Bad 'sim=' line in config file: '" + Cfg("P-38L_Racer") +
                             "', section: 'fltsim.0', title: 'PROPS P-38L Racer', 'sim=P-38LFaster' should be "
                             "'sim=P-38LRacer'.\n");
}

TEST_F(InstallationTest, NumbersAreComparedAsWrittenForEachAircraft) {
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("T6-Texan_Racer"), "cruise_lift_scalar=1\r", "cruise_lift_scalar=1.0\r") ||
              ReplaceInFile(sim_.cfg("T6-Texan_Racer"), "cruise_lift_scalar = 1\r", "cruise_lift_scalar=1.0\r"));
  EXPECT_NE(Validate(4).find("key: 'cruise_lift_scalar', value: '1.0' should be '1'."), std::string::npos);

  ASSERT_TRUE(ReplaceInFile(sim_.cfg("RD_P-51D_Mustang"), "cruise_lift_scalar=1.0", "cruise_lift_scalar=1"));
  h_.server.reports.clear();
  EXPECT_NE(Validate(0).find("key: 'cruise_lift_scalar', value: '1' should be '1.0'."), std::string::npos);
}

TEST_F(InstallationTest, EffectKeysOfAircraftThreeBelongInItsLightsSection) {
  std::string cfg = testing::ReadFile(sim_.cfg("P-38L_Racer"));
  std::size_t wake = cfg.find("wake=");
  ASSERT_NE(wake, std::string::npos);
  std::size_t end = cfg.find("\r\n\r\n", wake);
  std::string effects = cfg.substr(wake, end - wake);
  cfg.erase(wake, end - wake);
  cfg += "[EFFECTS]\r\n" + effects + "\r\n";
  testing::WriteFile(sim_.cfg("P-38L_Racer"), cfg);
  EXPECT_EQ(Validate(3), "Bad config value. File: '" + Cfg("P-38L_Racer") +
                             "', section: 'LIGHTS', key: 'wake', value: '' should be 'fx_wake'.\n");
}

TEST_F(InstallationTest, TwiceCheckedFlapsKeyOfAircraftTwo) {
  std::string cfg = testing::ReadFile(sim_.cfg("Legacy2000"));
  ASSERT_NE(cfg.find("system_type"), std::string::npos);
  ASSERT_TRUE(ReplaceInFile(sim_.cfg("Legacy2000"), "[Flaps.0]\r\n", "[Flaps.0]\r\nsystem_type=1\r\n"));
  EXPECT_EQ(Validate(2), "Bad config value. File: '" + Cfg("Legacy2000") +
                             "', section: 'Flaps.0', key: 'system_type', value: '1' should be '0'.\n");
}

TEST_F(InstallationTest, SectionsAreFoundWhateverTheirCaseInTheFile) {
  // The stand-in files spell several headers differently from the rows
  // ("weight_and_balance" for "WEIGHT_AND_BALANCE", "FLAPS.0" for "flaps.0").
  std::string cfg = testing::ReadFile(sim_.cfg("RD_P-51D_Mustang"));
  EXPECT_NE(cfg.find("[weight_and_balance]"), std::string::npos);
  EXPECT_EQ(Validate(0), "passed");
}

TEST_F(InstallationTest, ACopyOfTheRaceAircraftElsewhereFailsLast) {
  testing::WriteFile(sim_.aircraft("zz Pitts copy") / "aircraft.cfg", testing::ReadFile(sim_.cfg("Pitts S-2S Bulldog 2K2")));
  EXPECT_EQ(Validate(1), "Found title 'Pitts S-2S PROPS' in wrong config file: '" + sim_.folder() +
                             "\\Aircraft\\zz Pitts copy\\aircraft.cfg', section: 'fltsim.0'.\n");
}

TEST_F(InstallationTest, VeryLongSimulatorFolderGivesTheStatedMessageWithTheWholePath) {
  std::string folder = sim_.folder() + "\\" + std::string(250, 'd') + "\\" + std::string(250, 'e');
  h_.validator.set_sim_folder(folder);
  EXPECT_EQ(Validate(0), "Error finding .air file '" + folder + "\\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air'");
}

}  // namespace
}  // namespace volantis
