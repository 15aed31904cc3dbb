// volantis_refdata: the row lists with their published values, and the refusal
// to replace a published value or digest unless told to.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "published_values.h"
#include "refdata_commands.h"
#include "reference_rows.h"
#include "validation_fakes.h"

namespace volantis::refdata {
namespace {

namespace fs = std::filesystem;
using volantis::testing::ReadFile;
using volantis::testing::ReplaceInFile;
using volantis::testing::StandInSim;
using volantis::testing::WriteFile;

const fs::path kSource = VOLANTIS_SOURCE_DIR;
const fs::path kRows = kSource / "tools" / "refdata" / "rows";
const char* const kSetFiles[] = {"aircraft0.tsv", "aircraft1.tsv", "aircraft2.tsv",
                                 "aircraft3.tsv", "aircraft4.tsv", "air_digests.tsv"};

struct ToolRun {
  int status;
  std::string out;
  std::string err;
  // The indented difference lines of the error output.
  std::vector<std::string> Listed() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("  ", 0) == 0) lines.push_back(line.substr(2));
    }
    return lines;
  }
};

ToolRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  int status = RunRefdata(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(RowList, ReadsPlainAndPublishedRowsAndRefusesAnyOtherShape) {
  std::vector<Row> rows;
  std::string error;
  ASSERT_TRUE(
      ReadRowList("# comment\n\nflight_tuning\tcruise_lift_scalar\r\n"
                  "flight_tuning\tparasite_drag_scalar\tpublished\t.762\n"
                  "LIGHTS\tlight.14\tpublished\t7,   0.00,  -18.50\n"
                  "exits\tnumber_of_exits\tpublished\t\n",
                  &rows, &error))
      << error;
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_FALSE(rows[0].published);
  EXPECT_EQ(rows[0].key, "cruise_lift_scalar");
  EXPECT_TRUE(rows[1].published);
  EXPECT_EQ(rows[1].published_value, ".762");
  EXPECT_EQ(rows[2].published_value, "7,   0.00,  -18.50");
  EXPECT_TRUE(rows[3].published);
  EXPECT_EQ(rows[3].published_value, "");

  // A misspelt marker would leave a published value unguarded, so it stops the tool.
  for (const char* line : {"flight_tuning\tcruise_lift_scalar\tpublised\t1.0", "flight_tuning\tcruise_lift_scalar\t1.0",
                           "flight_tuning\tcruise_lift_scalar\tpublished", "flight_tuning\tx\tpublished\t1\textra",
                           "flight_tuning", "\tcruise_lift_scalar", "flight_tuning\t"}) {
    std::vector<Row> bad;
    EXPECT_FALSE(ReadRowList(std::string("a\tb\n") + line + "\n", &bad, &error)) << line;
    EXPECT_EQ(error.rfind("row list line 2:", 0), 0u) << error;
  }
}

TEST(DigestList, ReadsFiveHexWordsPerAircraftInOneSpelling) {
  std::map<int32_t, std::string> digests;
  std::string error;
  ASSERT_TRUE(
      ReadDigestList("# header\n0\t26dff7da 910D1953 8DF8084F 7A47529C D97B71A1\r\n4\t1 2 3 4 5\n", &digests, &error))
      << error;
  EXPECT_EQ(digests, (std::map<int32_t, std::string>{{0, "26DFF7DA 910D1953 8DF8084F 7A47529C D97B71A1"},
                                                     {4, "00000001 00000002 00000003 00000004 00000005"}}));
  for (const char* line :
       {"0\t1 2 3 4", "0\t1 2 3 4 5 6", "0\t1 2 3 4 G", "0\t1 2 3 4 123456789", "x\t1 2 3 4 5", "0 1 2 3 4 5"}) {
    std::map<int32_t, std::string> bad;
    EXPECT_FALSE(ReadDigestList(line, &bad, &error)) << line;
  }
}

TEST(PublishedData, ToolAndShippedSetHoldTheSameFiveDigests) {
  std::map<int32_t, std::string> published;
  std::map<int32_t, std::string> shipped;
  std::string error;
  ASSERT_TRUE(ReadDigestList(ReadFile(kRows / "published_digests.tsv"), &published, &error)) << error;
  ASSERT_TRUE(ReadDigestList(ReadFile(kSource / "src/validation/data/shipped/air_digests.tsv"), &shipped, &error))
      << error;
  EXPECT_EQ(published.size(), 5u);
  EXPECT_EQ(published, shipped);
}

// A stand-in installation and an output folder seeded with a data set; the
// command line runs the `set` command over both.
class SetCommand {
 public:
  // digests: "standin" or "shipped", the air_digests.tsv the output folder starts with.
  explicit SetCommand(const std::string& digests) {
    out_ = sim_.root().parent_path() / (sim_.root().filename().string() + "-out");
    fs::remove_all(out_);
    fs::create_directories(out_);
    for (const char* name : kSetFiles) {
      const fs::path from =
          kSource / "src/validation/data" / (std::string(name) == "air_digests.tsv" ? digests : "standin") / name;
      fs::copy_file(from, out_ / name);
      seeded_[name] = ReadFile(out_ / name);
    }
  }
  ~SetCommand() {
    std::error_code ignored;
    fs::remove_all(out_, ignored);
  }

  const fs::path& sim() const { return sim_.root(); }
  const fs::path& out() const { return out_; }
  bool Unchanged() const {
    for (const auto& [name, text] : seeded_) {
      if (ReadFile(out_ / name) != text) return false;
    }
    return true;
  }
  ToolRun RunSet(bool replace) {
    std::vector<std::string> args;
    if (replace) args.push_back("--replace-published");
    for (const std::string& arg : {std::string("set"), sim_.folder(), kRows.string(), out_.string()})
      args.push_back(arg);
    return RunTool(args);
  }

 private:
  StandInSim sim_;
  fs::path out_;
  std::map<std::string, std::string> seeded_;
};

const std::string kP38Cfg = "Aircraft/P-38L_Racer/Aircraft.cfg";
const std::string kMustangCfg = "Aircraft/RD_P-51D_Mustang/Aircraft.cfg";
const std::string kLegacyCfg = "Aircraft/Legacy2000/Aircraft.cfg";

TEST(SetCommand, PublishedValuesAndDigestsAreOnlyReplacedWhenToldTo) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& sim)> change;  // to the reference installation
    const char* stored_digests;                       // "standin" or "shipped"
    bool replace;
    int status;
    std::vector<std::string> listed;
    // On success: a line the named data file holds afterwards.
    const char* file;
    const char* line;
  } const cases[] = {
      {"same values",
       [](const fs::path&) {},
       "standin",
       false,
       0,
       {},
       "aircraft3.tsv",
       "flight_tuning\tparasite_drag_scalar\t.762\n"},
      {"published value changed",
       [](const fs::path& sim) {
         ASSERT_TRUE(ReplaceInFile(sim / kP38Cfg, "parasite_drag_scalar=.762", "parasite_drag_scalar=.800"));
       },
       "standin",
       false,
       1,
       {"aircraft 3 (\"P-38L_Racer\"): [flight_tuning] parasite_drag_scalar: published \".762\", new \".800\""}},
      {"published value changed, replacing",
       [](const fs::path& sim) {
         ASSERT_TRUE(ReplaceInFile(sim / kP38Cfg, "parasite_drag_scalar=.762", "parasite_drag_scalar=.800"));
       },
       "standin",
       true,
       0,
       {"aircraft 3 (\"P-38L_Racer\"): [flight_tuning] parasite_drag_scalar: published \".762\", new \".800\""},
       "aircraft3.tsv",
       "flight_tuning\tparasite_drag_scalar\t.800\n"},
      {"published key missing",
       [](const fs::path& sim) { ASSERT_TRUE(ReplaceInFile(sim / kMustangCfg, "max_rated_hp", "rated_hp_x")); },
       "standin",
       false,
       1,
       {"aircraft 0 (\"RD_P-51D_Mustang\"): [piston_engine] max_rated_hp: published \"3000.0\", new \"\""}},
      {"one published key read by two rows",
       [](const fs::path& sim) { ASSERT_TRUE(ReplaceInFile(sim / kLegacyCfg, "\nsystem_type=0", "\nsystem_type=1")); },
       "standin",
       false,
       1,
       {"aircraft 2 (\"Legacy2000\"): [Flaps.0] system_type: published \"0\", new \"1\"",
        "aircraft 2 (\"Legacy2000\"): [Flaps.0] system_type: published \"0\", new \"1\""}},
      {"unpublished value changed",
       [](const fs::path& sim) {
         ASSERT_TRUE(ReplaceInFile(sim / kMustangCfg, "induced_drag_scalar = 1.0", "induced_drag_scalar = 1.3"));
       },
       "standin",
       false,
       0,
       {},
       "aircraft0.tsv",
       "flight_tuning\tinduced_drag_scalar\t1.3\n"},
      {"stand-in flight model changed",
       [](const fs::path& sim) { WriteFile(sim / "Aircraft/T6-Texan_Racer/T6-Texan.air", "another flight model"); },
       "standin",
       false,
       0,
       {},
       "air_digests.tsv",
       "4\t088DD4B5 86DD7759 03BAD4BC 9BB851BA EDDA4194\n"},
      {"published digests stored, stand-in flight models read",
       [](const fs::path&) {},
       "shipped",
       false,
       1,
       {"aircraft 0 (\"RD_P-51D_Mustang\"): \\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air: published "
        "\"26DFF7DA 910D1953 8DF8084F 7A47529C D97B71A1\", new \"DEF46953 BCD9F79B 810F7487 AED0CEA6 F9D1F7AE\"",
        "aircraft 1 (\"Pitts S-2S Bulldog 2K2\"): \\Aircraft\\Pitts S-2S Bulldog 2K2\\Pitts S-2S Bulldog.air: "
        "published \"BD250794 6AAC4671 B03D375B E2DB51B4 5A0F0414\", new \"7150C9FD A2062CD9 FD963B2C 807460A5 "
        "A0A37F81\"",
        "aircraft 2 (\"Legacy2000\"): \\Aircraft\\Legacy2000\\Legacy.air: published \"81A05241 43120979 8A15042B "
        "470F210C 37181BEA\", new \"D0C50528 1EDDDF1F 10F2B0C8 4CB62DBC 039C2CD3\"",
        "aircraft 3 (\"P-38L_Racer\"): \\Aircraft\\P-38L_Racer\\P-38LRacer.air: published \"1145F9AA 906412C9 "
        "2E46CAE9 05393826 EE561E23\", new \"01CAD00D 338FDFFD 738BE8BB 7EAC1465 CFE832FE\"",
        "aircraft 4 (\"T6-Texan_Racer\"): \\Aircraft\\T6-Texan_Racer\\T6-Texan.air: published \"84734F01 A2018F88 "
        "A4214FB3 B8306682 4D29541C\", new \"6ED56377 19D8C9EA 9A97F91D 67BB6A55 04C51CF2\""}},
      {"published digests stored, replacing",
       [](const fs::path&) {},
       "shipped",
       true,
       0,
       {},
       "air_digests.tsv",
       "0\tDEF46953 BCD9F79B 810F7487 AED0CEA6 F9D1F7AE\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCommand command(c.stored_digests);
    c.change(command.sim());
    ToolRun run = command.RunSet(c.replace);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (!c.replace) {
      EXPECT_EQ(run.Listed(), c.listed) << run.err;
    }
    if (c.status != 0) {
      EXPECT_TRUE(command.Unchanged()) << "a refused set writes nothing";
      EXPECT_NE(run.err.find("--replace-published"), std::string::npos) << run.err;
      EXPECT_EQ(run.out, "");
      continue;
    }
    EXPECT_NE(ReadFile(command.out() / c.file).find(c.line), std::string::npos) << c.file;
    for (const std::string& line : c.listed) {
      EXPECT_NE(run.err.find(line), std::string::npos) << "a replacement is still listed: " << run.err;
    }
  }
}

TEST(ValuesCommand, RefusesToWriteAChangedPublishedValueUnlessToldTo) {
  StandInSim sim;
  ASSERT_TRUE(ReplaceInFile(sim.root() / kP38Cfg, "max_rated_hp=1700.000", "max_rated_hp=1800"));
  const std::string cfg = (sim.root() / kP38Cfg).string();
  const std::string rows = (kRows / "aircraft3.rows").string();
  const fs::path out = sim.root() / "aircraft3.tsv";

  ToolRun refused = RunTool({"values", cfg, rows, out.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.Listed(), std::vector<std::string>{rows + ": [piston_engine] max_rated_hp: published "
                                                              "\"1700.000\", new \"1800\""});
  EXPECT_FALSE(fs::exists(out));

  ToolRun replaced = RunTool({"values", "--replace-published", cfg, rows, out.string()});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_NE(ReadFile(out).find("piston_engine\tmax_rated_hp\t1800\n"), std::string::npos);
}

TEST(Usage, TheFlagOnlyGoesWithCommandsThatWrite) {
  EXPECT_EQ(RunTool({"--replace-published", "digest", "x.air"}).status, 2);
  EXPECT_EQ(RunTool({"--replace-everything", "values", "a", "b", "c"}).status, 2);
}

}  // namespace
}  // namespace volantis::refdata
