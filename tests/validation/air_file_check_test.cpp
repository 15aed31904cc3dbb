// The flight-model file check: digest of the whole file against the reference.
#include <gtest/gtest.h>

#include "validation_fakes.h"

namespace volantis {
namespace {

using testing::Harness;
using testing::StandInSim;

constexpr char kAirPath[] = "\\Aircraft\\RD_P-51D_Mustang\\RD_P-51D_GMAX.air";

class AirFileTest : public ::testing::Test {
 protected:
  AirFileTest() : air_(sim_.aircraft("RD_P-51D_Mustang") / "RD_P-51D_GMAX.air") {
    h_.validator.set_sim_folder(sim_.folder());
    std::string bytes = testing::ReadFile(air_);
    reference_ = DigestBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  std::string OnlyMessage() {
    auto reports = h_.server.Reports();
    EXPECT_EQ(reports.size(), 1u);
    return reports.empty() ? std::string() : reports[0].message;
  }
  StandInSim sim_;
  Harness h_;
  std::filesystem::path air_;
  Digest reference_;
};

TEST_F(AirFileTest, ReferenceContentPassesWhateverItsModificationTime) {
  EXPECT_TRUE(h_.validator.CheckAirFile(kAirPath, reference_));
  std::filesystem::last_write_time(air_, std::filesystem::last_write_time(air_) + std::chrono::hours(30));
  EXPECT_TRUE(h_.validator.CheckAirFile(kAirPath, reference_));
  EXPECT_TRUE(h_.server.Reports().empty());
}

TEST_F(AirFileTest, OneChangedByteFailsWithSizeAndLocalTimeText) {
  std::string bytes = testing::ReadFile(air_);
  auto stamp = std::filesystem::last_write_time(air_);
  bytes[bytes.size() / 2] ^= 0x01;
  testing::WriteFile(air_, bytes);
  std::filesystem::last_write_time(air_, stamp);

  EXPECT_FALSE(h_.validator.CheckAirFile(kAirPath, reference_));
  FileStatus status;
  ASSERT_TRUE(SystemFileSystem().Status(sim_.folder() + kAirPath, &status));
  std::string time_text = SystemFileSystem().LocalTimeText(status.modified_time);
  ASSERT_EQ(time_text.size(), 25u);
  EXPECT_EQ(time_text.back(), '\n');
  EXPECT_EQ(OnlyMessage(), "Bad .air file '" + sim_.folder() + kAirPath + "', file size: " +
                               std::to_string(bytes.size()) + ", mod time: " + time_text);
}

TEST_F(AirFileTest, EmptyFileIsDigestedAndFailsAgainstTheReference) {
  testing::WriteFile(air_, "");
  Digest digest;
  EXPECT_TRUE(h_.validator.DigestFile(sim_.folder() + kAirPath, &digest));
  EXPECT_EQ(digest, (Digest{0x9DD534C4u, 0x0DA03299u, 0x13748BB8u, 0x33058B52u, 0x00CE3E29u}));
  EXPECT_TRUE(h_.validator.CheckAirFile(kAirPath, digest));
  EXPECT_FALSE(h_.validator.CheckAirFile(kAirPath, reference_));
  EXPECT_NE(OnlyMessage().find("file size: 0, mod time: "), std::string::npos);
}

TEST_F(AirFileTest, MissingFileIsNotFound) {
  std::filesystem::remove(air_);
  EXPECT_FALSE(h_.validator.CheckAirFile(kAirPath, reference_));
  EXPECT_EQ(OnlyMessage(), "Error finding .air file '" + sim_.folder() + kAirPath + "'");
}

TEST_F(AirFileTest, FolderInPlaceOfTheFileCannotBeOpened) {
  std::filesystem::remove(air_);
  std::filesystem::create_directory(air_);
  EXPECT_FALSE(h_.validator.CheckAirFile(kAirPath, reference_));
  EXPECT_EQ(OnlyMessage(), "Error opening .air file '" + sim_.folder() + kAirPath + "'");
}

TEST_F(AirFileTest, UnopenableFileDigestsAsDeadBeefWords) {
  Digest digest;
  EXPECT_FALSE(h_.validator.DigestFile(sim_.folder() + "\\no such file.air", &digest));
  EXPECT_EQ(digest, (Digest{0xDEADBEEFu, 0xDEADBEEFu, 0xDEADBEEFu, 0xDEADBEEFu, 0xDEADBEEFu}));
}

TEST_F(AirFileTest, TheEndStopsTheDigestAndNothingIsReported) {
  h_.workers.cancel().Cancel();
  Digest digest;
  EXPECT_FALSE(h_.validator.DigestFile(sim_.folder() + kAirPath, &digest));
  EXPECT_FALSE(h_.validator.CheckAirFile(kAirPath, reference_));
  EXPECT_TRUE(h_.server.Reports().empty());
}

TEST_F(AirFileTest, OverlongPathIsReportedWhole) {
  std::string relative = "\\Aircraft\\" + std::string(300, 'L') + "\\" + std::string(300, 'M') + "\\model.air";
  EXPECT_FALSE(h_.validator.CheckAirFile(relative, reference_));
  std::string message = OnlyMessage();
  EXPECT_EQ(message, "Error finding .air file '" + sim_.folder() + relative + "'");
}

}  // namespace
}  // namespace volantis
