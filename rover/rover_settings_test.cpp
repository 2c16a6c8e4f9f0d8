#include "rover/rover_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// The IEEE 754 double stored little-endian at `at`, read independently of the code under test.
double DoubleAt(const SettingsImage& image, std::size_t at) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= std::uint64_t{image[at + i]} << (8 * i);
  return std::bit_cast<double>(bits);
}

std::vector<std::uint8_t> FileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RoverSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("quillon-rover-settings-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(RoverSettingsTest, OverrideFieldsSitAtTheEndOfTheImage) {
  RoverSettings settings;
  settings.overrideLatitude = -33.8568;
  settings.overrideLongitude = 151.2153;
  settings.overrideEnabled = 1;
  settings.noAuthentication = 1;
  const SettingsImage image = EncodeRoverSettings(settings);
  EXPECT_EQ(DoubleAt(image, 2800), -33.8568);
  EXPECT_EQ(DoubleAt(image, 2808), 151.2153);
  EXPECT_EQ(image[2816], 1);
  for (std::size_t at = 2817; at < 2824; ++at) EXPECT_EQ(image[at], 0) << "padding at " << at;
  EXPECT_EQ(image[204], 1);

  // Decoding reads them from the same places, whatever the padding holds.
  SettingsImage edited = image;
  const double north = 89.5;
  const auto bits = std::bit_cast<std::uint64_t>(north);
  for (std::size_t i = 0; i < 8; ++i) edited[2800 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  edited[2816] = 0;
  std::memset(edited.data() + 2817, 0x5A, 7);
  RoverSettings decoded;
  DecodeRoverSettings(edited, decoded);
  EXPECT_EQ(decoded.overrideLatitude.load(), 89.5);
  EXPECT_EQ(decoded.overrideLongitude.load(), 151.2153);
  EXPECT_EQ(decoded.overrideEnabled.load(), 0);
  EXPECT_EQ(decoded.noAuthentication, 1);
}

TEST_F(RoverSettingsTest, NoFileGivesDefaults) {
  RoverSettings settings;
  SetFieldText(settings.address, u"left over");
  settings.hostCount = 3;
  settings.overrideEnabled = 1;
  settings.overrideLatitude = 12.0;
  EXPECT_FALSE(ReadSettingsFile(settings, folder_));
  EXPECT_EQ(FieldText(settings.userName), u"user");
  EXPECT_EQ(FieldText(settings.password), u"mellowax");
  EXPECT_EQ(FieldText(settings.address), u"0.0.0.0");
  EXPECT_EQ(settings.port, 80);
  EXPECT_EQ(settings.comIndex, 1);
  EXPECT_EQ(settings.baudIndex, 1);
  EXPECT_EQ(FieldText(settings.mountPoint), u"MNT0");
  EXPECT_EQ(settings.hostCount, 0);
  EXPECT_EQ(settings.overrideEnabled.load(), 0);
  EXPECT_EQ(settings.overrideLatitude.load(), 0.0);
  EXPECT_FALSE(fs::exists(folder_ / "ntripinfo.bin"));  // reading never creates the file
}

TEST_F(RoverSettingsTest, WrittenFileIsPrivateAndReadsBack) {
  RoverSettings settings;
  SetDefaultSettings(settings);
  SetFieldText(settings.mountPoint, u"RTCM3_GG");
  settings.overrideLongitude = -0.5;
  settings.overrideEnabled = 1;
  ASSERT_TRUE(WriteSettingsFile(settings, folder_));

  const fs::path file = folder_ / "ntripinfo.bin";
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(FileBytes(file).size(), 2824u);

  RoverSettings loaded;
  EXPECT_TRUE(ReadSettingsFile(loaded, folder_));
  EXPECT_EQ(EncodeRoverSettings(loaded), EncodeRoverSettings(settings));
}

TEST_F(RoverSettingsTest, RememberHostUpdatesTheHistoryAndWritesIt) {
  RoverSettings settings;
  SetDefaultSettings(settings);
  SetFieldText(settings.address, u"rtk.example");
  settings.port = 2101;
  SetFieldText(settings.mountPoint, u"VRS");
  settings.overrideLatitude = 48.1;
  ASSERT_TRUE(RememberHost(settings, folder_));
  EXPECT_EQ(settings.hostCount, 1);

  RoverSettings loaded;
  ASSERT_TRUE(ReadSettingsFile(loaded, folder_));
  EXPECT_EQ(loaded.hostCount, 1);
  EXPECT_EQ(FieldText(loaded.hosts[0].address), u"rtk.example");
  EXPECT_EQ(FieldText(loaded.hosts[0].mountPoints[0]), u"VRS");
  EXPECT_EQ(loaded.overrideLatitude.load(), 48.1);

  EXPECT_FALSE(RememberHost(settings, folder_ / "gone"));  // unwritable: reported, not thrown
}

TEST_F(RoverSettingsTest, LongFixtureLoadsWithItsOverride) {
  fs::copy_file(fs::path(QUILLON_SETTINGS_TESTDATA) / "long.bin", folder_ / "ntripinfo.bin");
  RoverSettings settings;
  ASSERT_TRUE(ReadSettingsFile(settings, folder_));
  EXPECT_EQ(settings.overrideLatitude.load(), 52.5);
  EXPECT_EQ(settings.overrideLongitude.load(), -1.25);
  EXPECT_EQ(settings.overrideEnabled.load(), 1);
  EXPECT_EQ(settings.noAuthentication, 1);
  EXPECT_EQ(settings.baudIndex, 6);
}

TEST_F(RoverSettingsTest, CopiesCarryTheOverrideValues) {
  RoverSettings original;
  SetFieldText(original.address, u"copy.example");
  original.overrideLatitude = 1.5;
  original.overrideLongitude = 2.5;
  original.overrideEnabled = 1;

  RoverSettings copy(original);
  RoverSettings assigned;
  assigned = original;
  for (const RoverSettings* s : {&copy, &assigned}) {
    EXPECT_EQ(EncodeRoverSettings(*s), EncodeRoverSettings(original));
  }
  original.overrideLatitude = 9.0;
  EXPECT_EQ(copy.overrideLatitude.load(), 1.5);  // a copy, not a view
}

}  // namespace
}  // namespace quillon
