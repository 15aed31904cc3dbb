// The three configuration checks: value rows, sim= lines and titles in other folders.
#include <gtest/gtest.h>

#include "validation_fakes.h"

namespace volantis {
namespace {

using testing::Harness;
using testing::StandInSim;
using testing::WriteFile;

constexpr char kMustang[] = "RD_P-51D_Mustang";
constexpr char kRaceTitle[] = "F1 P-51D Mustang-PROPS";

struct ValueCase {
  const char* name;
  const char* file_line;  // written under [flight_tuning]
  const char* section;
  const char* key;
  const char* expected;
  bool passes;
  const char* value_in_message;
};

TEST(CheckConfigValue, CutsCommentsAndTrailingBlanksAndComparesExactly) {
  const ValueCase cases[] = {
      {"plain", "cruise_lift_scalar=1.0", "flight_tuning", "cruise_lift_scalar", "1.0", true, ""},
      {"semicolon comment", "cruise_lift_scalar=1.0 ;c", "flight_tuning", "cruise_lift_scalar", "1.0", true, ""},
      {"slash comment", "cruise_lift_scalar=1.0//c", "flight_tuning", "cruise_lift_scalar", "1.0", true, ""},
      {"single slash", "cruise_lift_scalar=1.0/2", "flight_tuning", "cruise_lift_scalar", "1.0", true, ""},
      {"tab before comment", "cruise_lift_scalar=1.0\t; c", "flight_tuning", "cruise_lift_scalar", "1.0", true, ""},
      {"names ignore case", "CRUISE_Lift_Scalar=1.0", "FLIGHT_TUNING", "cruise_lift_scalar", "1.0", true, ""},
      {"quoted value", "cruise_lift_scalar=\"1.0\"", "flight_tuning", "cruise_lift_scalar", "1.0", true, ""},
      {"values keep case", "wake=FX_WAKE", "flight_tuning", "wake", "fx_wake", false, "FX_WAKE"},
      {"numbers are text", "cruise_lift_scalar=1", "flight_tuning", "cruise_lift_scalar", "1.0", false, "1"},
      {"trailing zero differs", "cruise_lift_scalar=1.00", "flight_tuning", "cruise_lift_scalar", "1.0", false,
       "1.00"},
      {"inner blanks count", "point.0=1.0, -13.4, 0.0", "flight_tuning", "point.0", "1.0, -13.4,  0.0", false,
       "1.0, -13.4, 0.0"},
      {"missing key", "other=1.0", "flight_tuning", "cruise_lift_scalar", "1.0", false, ""},
      {"missing section", "cruise_lift_scalar=1.0", "piston_engine", "cruise_lift_scalar", "1.0", false, ""},
      {"comment only", "cruise_lift_scalar=;1.0", "flight_tuning", "cruise_lift_scalar", "1.0", false, ""},
      {"percent stays", "cruise_lift_scalar=%s%n", "flight_tuning", "cruise_lift_scalar", "1.0", false, "%s%n"},
  };
  StandInSim sim;
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    std::string path = testing::HostPath(sim.root() / (std::string("case ") + c.name + ".cfg"));
    WriteFile(path, std::string("[flight_tuning]\r\n") + c.file_line + "\r\n");
    std::string message = "untouched";
    EXPECT_EQ(h.validator.CheckConfigValue(path, c.section, c.key, c.expected, &message), c.passes);
    if (c.passes) {
      EXPECT_EQ(message, "untouched");
    } else {
      EXPECT_EQ(message, "Bad config value. File: '" + path + "', section: '" + c.section + "', key: '" + c.key +
                             "', value: '" + c.value_in_message + "' should be '" + c.expected + "'.\n");
    }
    EXPECT_TRUE(h.server.Reports().empty()) << "the caller reports, not the check";
  }
}

TEST(CheckConfigValue, MissingFileReadsAsEmptyValue) {
  Harness h;
  std::string message;
  EXPECT_FALSE(h.validator.CheckConfigValue("no such folder\\aircraft.cfg", "fuel", "fuel_type", "2", &message));
  EXPECT_EQ(message, "Bad config value. File: 'no such folder\\aircraft.cfg', section: 'fuel', key: 'fuel_type', "
                     "value: '' should be '2'.\n");
}

class SimLineTest : public ::testing::Test {
 protected:
  bool Check(const std::string& variations) {
    path_ = testing::HostPath(sim_.root() / "sim_line.cfg");
    WriteFile(path_, "[General]\r\natc_type=RACER\r\n" + variations);
    return h_.validator.CheckSimLine(path_, kRaceTitle, "RD_P-51D_GMAX");
  }
  StandInSim sim_;
  Harness h_;
  std::string path_;
};

TEST_F(SimLineTest, VariationsCarryingTheRaceTitleMustNameTheReferenceModel) {
  EXPECT_TRUE(Check("[fltsim.0]\r\ntitle=F1 P-51D Mustang-PROPS\r\nsim=RD_P-51D_GMAX\r\n"
                    "[fltsim.1]\r\ntitle=F1 P-51D Mustang-PROPS Blue\r\nsim=rd_p-51d_gmax\r\n"
                    "[fltsim.2]\r\ntitle=F1 P-51D\r\nsim=Other\r\n"
                    "[fltsim3]\r\ntitle=F1 P-51D Mustang-PROPS\r\nsim=NotAVariation\r\n"
                    "[fltsim]\r\ntitle=F1 P-51D Mustang-PROPS\r\nsim=NotAVariation\r\n"));
  EXPECT_TRUE(h_.server.Reports().empty());
}

TEST_F(SimLineTest, FileWithoutTheRaceTitlePasses) {
  EXPECT_TRUE(Check("[fltsim.0]\r\ntitle=Practice plane\r\nsim=Other\r\n"));
  EXPECT_TRUE(Check(""));
}

TEST_F(SimLineTest, ALongerTitleIsSubjectToTheRuleAndTheFirstOffenderIsReported) {
  EXPECT_FALSE(Check("[fltsim.0]\r\ntitle=F1 P-51D Mustang-PROPS\r\nsim=RD_P-51D_GMAX\r\n"
                     "[FltSim.x]\r\ntitle=f1 p-51d mustang-props Racing Red\r\nsim=Modified_GMAX\r\n"
                     "[fltsim.2]\r\ntitle=F1 P-51D Mustang-PROPS\r\nsim=Second\r\n"));
  auto reports = h_.server.Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_FALSE(reports[0].success);
  EXPECT_EQ(reports[0].message, "Bad 'sim=' line in config file: '" + path_ +
                                    "', section: 'FltSim.x', title: 'f1 p-51d mustang-props Racing Red', "
                                    "'sim=Modified_GMAX' should be 'sim=RD_P-51D_GMAX'.\n");
}

TEST_F(SimLineTest, MissingSimLineIsReportedEmpty) {
  EXPECT_FALSE(Check("[fltsim.0]\r\ntitle=F1 P-51D Mustang-PROPS\r\n"));
  ASSERT_EQ(h_.server.Reports().size(), 1u);
  EXPECT_NE(h_.server.Reports()[0].message.find("'sim=' should be 'sim=RD_P-51D_GMAX'"), std::string::npos);
}

class TitleElsewhereTest : public ::testing::Test {
 protected:
  TitleElsewhereTest() { h_.validator.set_sim_folder(sim_.folder()); }
  StandInSim sim_;
  Harness h_;
};

TEST_F(TitleElsewhereTest, StandInInstallationHasNoClaimsAndSkipsFilesAndFoldersWithoutConfig) {
  EXPECT_TRUE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  EXPECT_TRUE(h_.server.Reports().empty());
}

TEST_F(TitleElsewhereTest, CopyInSecondFolderIsReportedWithItsPath) {
  WriteFile(sim_.aircraft("Mustang copy") / "aircraft.cfg", testing::ReadFile(sim_.cfg(kMustang)));
  EXPECT_FALSE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  auto reports = h_.server.Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].message, "Found title 'F1 P-51D Mustang-PROPS' in wrong config file: '" + sim_.folder() +
                                    "\\Aircraft\\Mustang copy\\aircraft.cfg', section: 'fltsim.0'.\n");
}

TEST_F(TitleElsewhereTest, TheEndStopsTheScanAndNothingIsReported) {
  // A claim the scan would report, but the module is ending.
  WriteFile(sim_.aircraft("Mustang copy") / "aircraft.cfg", testing::ReadFile(sim_.cfg(kMustang)));
  h_.workers.cancel().Cancel();
  EXPECT_FALSE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  EXPECT_TRUE(h_.server.Reports().empty());
}

TEST_F(TitleElsewhereTest, OwnFolderIsSkippedWhateverItsCase) {
  EXPECT_TRUE(h_.validator.CheckTitleElsewhere("rd_p-51d_MUSTANG", kRaceTitle));
}

TEST_F(TitleElsewhereTest, TitleBeginningWithTheRaceTitleElsewhereFails) {
  WriteFile(sim_.aircraft("Other racer") / "aircraft.cfg",
            "[fltsim.0]\r\ntitle=Some trainer\r\n[fltsim.1]\r\ntitle=F1 P-51D MUSTANG-PROPS repaint\r\n");
  EXPECT_FALSE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  ASSERT_EQ(h_.server.Reports().size(), 1u);
  EXPECT_NE(h_.server.Reports()[0].message.find("section: 'fltsim.1'"), std::string::npos);
}

TEST_F(TitleElsewhereTest, UnsearchableAircraftFolderIsReported) {
  h_.validator.set_sim_folder(sim_.folder() + "missing");
  EXPECT_FALSE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  ASSERT_EQ(h_.server.Reports().size(), 1u);
  EXPECT_EQ(h_.server.Reports()[0].message,
            "Error searching for files in: '" + sim_.folder() + "missing\\Aircraft'.\n");
}

TEST_F(TitleElsewhereTest, OverlongSimulatorFolderIsReportedWhole) {
  std::string folder = sim_.folder() + "\\" + std::string(300, 'p') + "\\" + std::string(300, 'q');
  h_.validator.set_sim_folder(folder);
  EXPECT_FALSE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  ASSERT_EQ(h_.server.Reports().size(), 1u);
  EXPECT_EQ(h_.server.Reports()[0].message, "Error searching for files in: '" + folder + "\\Aircraft'.\n");
}

TEST_F(TitleElsewhereTest, NonAsciiFolderNamesAreSearchedAndNamedByteForByte) {
  // Bytes of the host's code page in the folder name, made through the narrow C calls.
  std::string name = "Avi\xF3n \xE9t\xE9 \xC9";
  std::string folder = sim_.folder() + testing::kSeparator + "Aircraft" + testing::kSeparator + name;
  ASSERT_TRUE(testing::MakeFolderNarrow(folder));
  ASSERT_TRUE(testing::WriteFileNarrow(folder + testing::kSeparator + "aircraft.cfg",
                                       testing::ReadFile(sim_.cfg(kMustang))));
  EXPECT_FALSE(h_.validator.CheckTitleElsewhere(kMustang, kRaceTitle));
  ASSERT_EQ(h_.server.Reports().size(), 1u);
  EXPECT_NE(h_.server.Reports()[0].message.find(name), std::string::npos) << h_.server.Reports()[0].message;
}

}  // namespace
}  // namespace volantis
