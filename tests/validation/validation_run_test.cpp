// The validation run: one at a time, the order of its checks and its messages,
// and the search for the simulator's executable.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "validation_fakes.h"

namespace volantis {
namespace {

using testing::Harness;
using testing::StandInSim;

std::vector<testing::Report> RunOnce(Harness& h) {
  h.validator.BeginRun(ValidationSettings::From(h.settings));
  h.validator.RunValidation();
  return h.server.Reports();
}

bool WaitUntilIdle(Validator& validator) {
  for (int i = 0; i < 1000 && validator.validate_busy(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return !validator.validate_busy();
}

TEST(RunValidation, RealismSettingsAreCheckedFirstAndShownSigned) {
  struct Case {
    int8_t crash_detection;
    int8_t collisions;
    const char* message;
  } const cases[] = {
      {2, 0, "Crash detection is not enabled. Value: 2"},
      {0, 0, "Crash detection is not enabled. Value: 0"},
      {static_cast<int8_t>(0xFF), static_cast<int8_t>(0xFF), "Crash detection is not enabled. Value: -1"},
      {1, static_cast<int8_t>(0xFF), "Aircraft collisions are not disabled. Value: -1"},
      {1, 1, "Aircraft collisions are not disabled. Value: 1"},
  };
  for (const Case& c : cases) {
    Harness h;
    h.host.Write<int8_t>(kOffsetCrashDetection, c.crash_detection);
    h.host.Write<int8_t>(kOffsetCollisions, c.collisions);
    h.validator.set_sim_folder("kept");
    auto reports = RunOnce(h);
    ASSERT_EQ(reports.size(), 1u) << c.message;
    EXPECT_FALSE(reports[0].success);
    EXPECT_EQ(reports[0].message, c.message);
    EXPECT_EQ(h.validator.sim_folder(), "kept") << "the folder search was not reached";
    EXPECT_NE(h.log.log_text().find("Validating...\r\n"), std::string::npos);
  }
}

TEST(RunValidation, MissingSimulatorIsReportedWithTheErrorSoundWhenSoundsAreOn) {
  for (bool sound_on : {true, false}) {
    Harness h;
    h.settings.sound_validate = sound_on;
    h.validator.set_sim_folder("old");
    auto reports = RunOnce(h);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Error finding FS2004 path.");
    EXPECT_EQ(h.validator.sim_folder(), "");
    EXPECT_EQ(h.sounds.Played(), sound_on ? std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"}
                                          : std::vector<std::string>{});
  }
}

TEST(RunValidation, UnsupportedAircraftFailsAfterTheFolderSearch) {
  for (int32_t type : {5, -1, 1000}) {
    Harness h;
    h.RunningSimAt("C:\\Sim");
    h.settings.race_definition.aircraft_type = type;
    auto reports = RunOnce(h);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Aircraft type not supported by this version of Volantis.dll. Using version 2.6");
    EXPECT_EQ(h.validator.sim_folder(), "C:\\Sim");
  }
}

TEST(RunValidation, EveryStandInAircraftPassesAndIsReportedAsSuccess) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  for (int32_t type = 0; type < 5; ++type) {
    Harness h;
    h.RunningSimAt(sim.folder());
    h.settings.race_definition.aircraft_type = type;
    auto reports = RunOnce(h);
    ASSERT_EQ(reports.size(), 1u) << type;
    EXPECT_TRUE(reports[0].success) << type << ": " << reports[0].message;
    EXPECT_EQ(reports[0].message, "");
  }
}

TEST(RunValidation, ReadsFilesAfreshOnEveryRun) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  Harness h;
  h.RunningSimAt(sim.folder());
  h.settings.race_definition.aircraft_type = 4;
  ASSERT_TRUE(RunOnce(h).back().success);
  ASSERT_TRUE(testing::ReplaceInFile(sim.cfg("T6-Texan_Racer"), "vertical_speed_time_constant", "vertical_speed_x"));
  auto reports = RunOnce(h);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_FALSE(reports[1].success);
  EXPECT_NE(reports[1].message.find("section: 'pitot_static', key: 'vertical_speed_time_constant', value: ''"),
            std::string::npos)
      << reports[1].message;
}

// The Validate window's lines without their time stamps.
std::vector<std::string> ShownLines(ValidateWindow& log) {
  const std::size_t stamp = ValidateWindow::TimestampPrefix(LocalDateTime{2006, 4, 6, 9, 5, 3}).size();
  std::vector<std::string> lines;
  const std::string text = log.log_text();
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start).substr(stamp));
  }
  EXPECT_EQ(start, text.size()) << "every message ends its line";
  return lines;
}

TEST(ValidationThread, AStandInBuildSaysSoInEveryRunAndAShippedBuildDoesNot) {
  const bool standin = std::strcmp(ReferenceSetName(), "standin") == 0;
  const std::string notice =
      "This build carries the stand-in reference data: it can only validate the stand-in installation, not the real "
      "race aircraft.";
  Harness h;
  h.host.Write<int8_t>(kOffsetCrashDetection, 0);  // each run ends at its first check
  std::vector<std::string> expected;
  for (int run = 1; run <= 3; ++run) {
    h.validator.ValidationThread();
    expected.push_back("Validating...");
    if (standin) expected.push_back(notice);
    EXPECT_EQ(ShownLines(h.log), expected) << "after run " << run;
  }
  EXPECT_EQ(h.server.Reports().size(), 3u);
}

TEST(ValidationThread, FailedTimeSyncEndsTheRunSilently) {
  Harness h;
  h.settings.sound_validate = true;
  h.server.time_sync_result = false;
  h.validator.ValidationThread();
  EXPECT_TRUE(h.server.Reports().empty());
  EXPECT_EQ(h.log.log_text().find("Validating..."), std::string::npos);
  EXPECT_EQ(h.sounds.Played(), std::vector<std::string>{"WAVE_VALIDATE_START"});
  EXPECT_FALSE(h.validator.validate_busy());
}

TEST(StartValidation, OneRunAtATimeAndANewRunAfterTheEnd) {
  Harness h;
  h.server.hold_time_sync = true;
  h.server.time_sync_result = false;
  h.validator.StartValidation();
  EXPECT_TRUE(h.validator.validate_busy());
  for (int i = 0; i < 1000 && h.server.time_syncs == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  h.validator.StartValidation();  // dropped: a run is under way
  h.validator.StartValidation();
  std::string log_before = h.log.log_text();
  h.server.release_time_sync.Set();
  ASSERT_TRUE(WaitUntilIdle(h.validator));
  EXPECT_EQ(h.server.time_syncs, 1);
  EXPECT_EQ(log_before, "") << "a dropped request logs nothing";

  h.validator.StartValidation();
  ASSERT_TRUE(WaitUntilIdle(h.validator));
  EXPECT_EQ(h.server.time_syncs, 2);
}

// The executable search over a scripted process list; the module runs in
// process 7.
struct ExeCase {
  const char* name;
  std::vector<ProcessEntry> processes;
  std::vector<std::pair<uint32_t, std::string>> modules;  // resolvable processes
  std::string expected;
};

TEST(FindSimExePath, MatchesTheLastSevenCharactersAndResolvesBareNames) {
  const ExeCase cases[] = {
      {"bare name through its first module", {{1, "explorer.exe"}, {7, "fs9.exe"}}, {{7, "Z:\\Sim\\fs9.exe"}},
       "Z:\\Sim\\fs9.exe"},
      {"upper case", {{7, "FS9.EXE"}}, {{7, "C:\\FS\\FS9.EXE"}}, "C:\\FS\\FS9.EXE"},
      {"any name ending so", {{7, "myfs9.exe"}}, {{7, "C:\\x\\myfs9.exe"}}, "C:\\x\\myfs9.exe"},
      {"full path used as is", {{7, "D:\\Games\\FS9\\fs9.exe"}}, {{7, "ignored"}}, "D:\\Games\\FS9\\fs9.exe"},
      {"another copy listed first is passed over",
       {{3, "fs9.exe"}, {7, "fs9.exe"}},
       {{3, "C:\\Other\\fs9.exe"}, {7, "C:\\Own\\fs9.exe"}},
       "C:\\Own\\fs9.exe"},
      {"another copy with a full path is passed over", {{3, "D:\\Other\\fs9.exe"}, {7, "fs9.exe"}},
       {{7, "C:\\Own\\fs9.exe"}}, "C:\\Own\\fs9.exe"},
      {"own process unresolvable: another copy is no substitute",
       {{7, "fs9.exe"}, {9, "FS9.exe"}},
       {{9, "C:\\Second\\FS9.exe"}},
       ""},
      {"module not in a simulator: another copy is no substitute", {{3, "fs9.exe"}, {7, "other.exe"}},
       {{3, "C:\\Other\\fs9.exe"}, {7, "C:\\x\\other.exe"}}, ""},
      {"shorter names never match", {{7, "s9.exe"}, {8, "fs9.ex"}}, {{7, "C:\\a"}, {8, "C:\\b"}}, ""},
      {"nothing running", {}, {}, ""},
  };
  for (const ExeCase& c : cases) {
    Harness h;
    h.processes.processes = c.processes;
    for (const auto& [id, path] : c.modules) h.processes.AddModule(id, path);
    EXPECT_EQ(h.validator.FindSimExePath(), c.expected) << c.name;
  }
}

TEST(FindSimExePath, FailedSnapshotsGiveNothing) {
  Harness h;
  h.processes.processes = {{7, "fs9.exe"}};
  h.processes.AddModule(7, "C:\\Sim\\fs9.exe");
  h.processes.snapshot_works = false;
  EXPECT_EQ(h.validator.FindSimExePath(), "");

  Harness first_module_fails;
  first_module_fails.processes.processes = {{7, "fs9.exe"}};
  FirstModuleResult failed;
  failed.outcome = ModuleQuery::kFirstModuleFailed;
  first_module_fails.processes.modules[7] = failed;
  ModuleEntry module;
  EXPECT_FALSE(first_module_fails.validator.GetFirstModule(7, &module));
  EXPECT_EQ(first_module_fails.validator.FindSimExePath(), "");
}

TEST(RunValidation, SimulatorFolderIsTheExecutablePathCutAtItsLastBackslash) {
  struct Case {
    const char* exe;
    const char* folder;
  } const cases[] = {{"C:\\Program Files\\FS9\\fs9.exe", "C:\\Program Files\\FS9"}, {"C:fs9.exe", "C:fs9.exe"}};
  for (const Case& c : cases) {
    Harness h;
    h.processes.processes = {{7, "fs9.exe"}};
    h.processes.AddModule(7, c.exe);
    h.settings.race_definition.aircraft_type = 9;
    h.validator.RunValidation();
    EXPECT_EQ(h.validator.sim_folder(), c.folder);
  }
}


// The rows' positions of the given keys in aircraft `number`'s check list.
std::size_t RowOf(int32_t number, const std::string& key) {
  const ReferenceAircraft& aircraft = *FindReferenceAircraft(number);
  for (std::size_t i = 0; i < aircraft.value_check_count; ++i) {
    if (key == aircraft.value_checks[i].key) return i;
  }
  ADD_FAILURE() << "no row " << key;
  return 0;
}

// The Validate window's lines after the first one that starts with `start`.
std::vector<std::string> LinesAfter(const std::vector<std::string>& lines, const std::string& start) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(start, 0) == 0) return std::vector<std::string>(lines.begin() + i + 1, lines.end());
  }
  return {};
}

TEST(RunValidation, AFailedCheckListListsEveryOtherMismatchOfTheAircraftInRowOrder) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  Harness h;
  h.RunningSimAt(sim.folder());
  h.settings.race_definition.aircraft_type = 0;
  const std::string cfg = sim.folder() + "\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg";
  ASSERT_TRUE(testing::ReplaceInFile(sim.cfg("RD_P-51D_Mustang"), "sim=RD_P-51D_GMAX", "sim=Hot_Rod"));
  ASSERT_TRUE(testing::ReplaceInFile(sim.cfg("RD_P-51D_Mustang"), "parasite_drag_scalar=0.9", "parasite_drag_scalar=0.5"));
  ASSERT_TRUE(testing::ReplaceInFile(sim.cfg("RD_P-51D_Mustang"), "cruise_lift_scalar=1.0", "cruise_lift_scalar=1.5"));
  const bool drag_first = RowOf(0, "parasite_drag_scalar") < RowOf(0, "cruise_lift_scalar");
  const std::string drag = "section 'flight_tuning', key 'parasite_drag_scalar': found '0.5', expected '0.9'.";
  const std::string lift = "section 'flight_tuning', key 'cruise_lift_scalar': found '1.5', expected '1.0'.";

  auto reports = RunOnce(h);
  // The server hears of the first mismatch only, in its usual words.
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_FALSE(reports[0].success);
  EXPECT_EQ(reports[0].message,
            "Bad config value. File: '" + cfg + "', section: 'flight_tuning', key: '" +
                (drag_first ? std::string("parasite_drag_scalar', value: '0.5' should be '0.9'.\n")
                            : std::string("cruise_lift_scalar', value: '1.5' should be '1.0'.\n")));
  // The pilot sees all three, the one that stopped the run first.
  const std::vector<std::string> shown = LinesAfter(ShownLines(h.log), "This one stopped the validation:");
  ASSERT_EQ(shown.size(), 4u) << h.log.log_text();
  EXPECT_EQ(shown[0], "Mismatch: file '" + cfg + "', " + (drag_first ? drag : lift));
  EXPECT_EQ(shown[1], "2 other mismatches of this aircraft's installation (mend them all before validating again):");
  const std::vector<std::string> others(shown.begin() + 2, shown.end());
  EXPECT_EQ(others[0], "Mismatch: file '" + cfg + "', " + (drag_first ? lift : drag));
  EXPECT_EQ(others[1], "Mismatch: file '" + cfg + "', section 'fltsim.0', key 'sim': found 'Hot_Rod', expected "
                       "'RD_P-51D_GMAX'.");
}

// With a single mismatch there are no others to list: the Validate window
// still names the one that stopped the run (the server hears it as before).
TEST(RunValidation, ASingleMismatchIsNamedInTheValidateWindow) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  Harness h;
  h.RunningSimAt(sim.folder());
  h.settings.race_definition.aircraft_type = 0;
  const std::string cfg = sim.folder() + "\\Aircraft\\RD_P-51D_Mustang\\Aircraft.cfg";
  ASSERT_TRUE(testing::ReplaceInFile(sim.cfg("RD_P-51D_Mustang"), "cruise_lift_scalar=1.0", "cruise_lift_scalar=1.5"));
  auto reports = RunOnce(h);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].message, "Bad config value. File: '" + cfg +
                                    "', section: 'flight_tuning', key: 'cruise_lift_scalar', value: '1.5' should be "
                                    "'1.0'.\n");
  const std::vector<std::string> shown = LinesAfter(ShownLines(h.log), "This one stopped the validation:");
  ASSERT_EQ(shown.size(), 1u) << h.log.log_text();
  EXPECT_EQ(shown[0], "Mismatch: file '" + cfg +
                          "', section 'flight_tuning', key 'cruise_lift_scalar': found '1.5', expected '1.0'.");
  EXPECT_EQ(h.log.log_text().find("other mismatch"), std::string::npos);
}

TEST(RunValidation, MismatchListStopsAtFiftyLinesAndCountsTheRest) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  Harness h;
  h.RunningSimAt(sim.folder());
  h.settings.race_definition.aircraft_type = 4;
  // A config file with none of the reference values: every row mismatches.
  std::filesystem::remove(sim.cfg("T6-Texan_Racer"));
  { std::ofstream(sim.cfg("T6-Texan_Racer")) << "[general]\r\natc_type=Texan\r\n"; }
  const std::size_t rows = FindReferenceAircraft(4)->value_check_count;
  ASSERT_GT(rows, kMismatchLinesShown + 1);

  auto reports = RunOnce(h);
  ASSERT_EQ(reports.size(), 1u);
  const std::string first = FindReferenceAircraft(4)->value_checks[0].key;
  EXPECT_NE(reports[0].message.find("key: '" + first + "', value: ''"), std::string::npos) << reports[0].message;
  const std::vector<std::string> others = LinesAfter(
      ShownLines(h.log), std::to_string(rows - 1) + " other mismatches of this aircraft's installation");
  ASSERT_EQ(others.size(), kMismatchLinesShown + 1) << h.log.log_text();
  EXPECT_NE(others[0].find(std::string("key '") + FindReferenceAircraft(4)->value_checks[1].key + "'"),
            std::string::npos);
  EXPECT_EQ(others.back(), "... and " + std::to_string(rows - 1 - kMismatchLinesShown) + " more.");
}

TEST(RunValidation, MissingFilesAreListedAfterTheReportedOne) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  Harness h;
  h.RunningSimAt(sim.folder());
  h.settings.race_definition.aircraft_type = 2;
  std::filesystem::remove(sim.aircraft("Legacy2000") / "Legacy.air");
  std::filesystem::remove(sim.cfg("Legacy2000"));

  auto reports = RunOnce(h);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].message, "Error finding .air file '" + sim.folder() + "\\Aircraft\\Legacy2000\\Legacy.air'");
  const std::vector<std::string> others = LinesAfter(ShownLines(h.log), "1 other mismatch of this aircraft's");
  ASSERT_EQ(others.size(), 1u) << h.log.log_text();
  EXPECT_EQ(others[0], "Missing: config file '" + sim.folder() + "\\Aircraft\\Legacy2000\\Aircraft.cfg'.");
}

TEST(RunValidation, APassingRunListsNoMismatches) {
  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  StandInSim sim;
  Harness h;
  h.RunningSimAt(sim.folder());
  h.settings.race_definition.aircraft_type = 1;
  ASSERT_TRUE(RunOnce(h).back().success);
  EXPECT_EQ(h.log.log_text().find("other mismatch"), std::string::npos);
  EXPECT_EQ(h.log.log_text().find("stopped the validation"), std::string::npos);
}

}  // namespace
}  // namespace volantis
