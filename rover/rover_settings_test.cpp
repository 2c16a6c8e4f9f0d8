#include "rover/rover_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <filesystem>
#include <string>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// The IEEE 754 double stored little-endian at `at`, read independently of the code under test.
double DoubleAt(const SettingsImage& image, std::size_t at) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= std::uint64_t{image[at + i]} << (8 * i);
  return std::bit_cast<double>(bits);
}

class RoverSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  const fs::path folder_ =
      fs::temp_directory_path() / ("quillon-rover-settings-" + std::to_string(::getpid()));
};

TEST_F(RoverSettingsTest, OverrideFieldsSitAtTheEndAndPaddingIsZero) {
  RoverSettings settings;
  settings.overrideLatitude = -33.8568;
  settings.overrideLongitude = 151.2153;
  settings.overrideEnabled = 1;
  SettingsImage image = EncodeRoverSettings(settings);
  EXPECT_EQ(DoubleAt(image, 2800), -33.8568);
  EXPECT_EQ(DoubleAt(image, 2808), 151.2153);
  EXPECT_EQ(image[2816], 1);
  for (std::size_t at = 2817; at < 2824; ++at) EXPECT_EQ(image[at], 0) << "padding at " << at;

  image[2816] = 0;
  image[2817] = 0x5A;  // padding from another writer is ignored
  RoverSettings decoded;
  DecodeRoverSettings(image, decoded);
  EXPECT_EQ(decoded.overrideLatitude.load(), -33.8568);
  EXPECT_EQ(decoded.overrideLongitude.load(), 151.2153);
  EXPECT_EQ(decoded.overrideEnabled.load(), 0);
}

TEST_F(RoverSettingsTest, NoFileGivesTheDefaults) {
  RoverSettings settings;
  SetFieldText(settings.address, u"left over");
  settings.hostCount = 3;
  settings.overrideEnabled = 1;
  EXPECT_FALSE(ReadSettingsFile(settings, folder_));
  EXPECT_EQ(FieldText(settings.userName), u"user");
  EXPECT_EQ(FieldText(settings.password), u"mellowax");
  EXPECT_EQ(FieldText(settings.address), u"0.0.0.0");
  EXPECT_EQ(FieldText(settings.mountPoint), u"MNT0");
  EXPECT_EQ(settings.port, 80);
  EXPECT_EQ(settings.comIndex, 1);
  EXPECT_EQ(settings.baudIndex, 1);
  EXPECT_EQ(settings.hostCount, 0);
  EXPECT_EQ(settings.overrideEnabled.load(), 0);
  EXPECT_FALSE(fs::exists(folder_ / "ntripinfo.bin"));  // reading never creates the file
}

TEST_F(RoverSettingsTest, RememberHostWritesTheWholeRecord) {
  RoverSettings settings;
  SetDefaultSettings(settings);
  SetFieldText(settings.address, u"rtk.example");
  SetFieldText(settings.mountPoint, u"VRS");
  settings.overrideLatitude = 48.1;
  ASSERT_TRUE(RememberHost(settings, folder_));

  RoverSettings loaded;
  ASSERT_TRUE(ReadSettingsFile(loaded, folder_));
  EXPECT_EQ(loaded.hostCount, 1);
  EXPECT_EQ(FieldText(loaded.hosts[0].mountPoints[0]), u"VRS");
  EXPECT_EQ(EncodeRoverSettings(loaded), EncodeRoverSettings(settings));
  EXPECT_FALSE(RememberHost(settings, folder_ / "gone"));  // unwritable: reported, not thrown
}

TEST_F(RoverSettingsTest, CopiesCarryTheOverride) {
  RoverSettings original;
  SetFieldText(original.address, u"copy.example");
  original.overrideLatitude = 1.5;
  original.overrideLongitude = 2.5;
  original.overrideEnabled = 1;
  const RoverSettings copy(original);
  RoverSettings assigned;
  assigned = original;
  EXPECT_EQ(EncodeRoverSettings(copy), EncodeRoverSettings(original));
  EXPECT_EQ(EncodeRoverSettings(assigned), EncodeRoverSettings(original));
}

}  // namespace
}  // namespace quillon
