#include "base/base_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace quillon {
namespace {

namespace fs = std::filesystem;

class BaseSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("quillon-base-settings-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(BaseSettingsTest, TrailingReservedBytesAreWrittenBackAsRead) {
  SettingsImage image{};
  for (std::size_t at = 2800; at < 2824; ++at) image[at] = static_cast<std::uint8_t>(at);
  image[216] = 9;  // a host count out of range, clamped on the way in

  BaseSettings settings;
  DecodeBaseSettings(image, settings);
  EXPECT_EQ(settings.hostCount, 5);
  const SettingsImage again = EncodeBaseSettings(settings);
  for (std::size_t at = 2800; at < 2824; ++at) EXPECT_EQ(again[at], image[at]) << at;
  EXPECT_EQ(again[216], 5);
}

TEST_F(BaseSettingsTest, NoFileGivesDefaultsAndAnEmptyHistory) {
  BaseSettings settings;
  settings.reserved2800[3] = 1;
  settings.hostCount = 2;
  EXPECT_FALSE(ReadSettingsFile(settings, folder_));
  EXPECT_EQ(FieldText(settings.userName), u"user");
  EXPECT_EQ(FieldText(settings.password), u"mellowax");
  EXPECT_EQ(FieldText(settings.address), u"0.0.0.0");
  EXPECT_EQ(settings.port, 80);
  EXPECT_EQ(settings.comIndex, 1);
  EXPECT_EQ(settings.baudIndex, 1);
  EXPECT_EQ(FieldText(settings.mountPoint), u"MNT0");
  EXPECT_EQ(settings.hostCount, 0);
  EXPECT_EQ(settings.reserved2800, (std::array<std::uint8_t, 24>{}));
}

TEST_F(BaseSettingsTest, RememberHostWritesSourceInfoPrivately) {
  BaseSettings settings;
  SetDefaultSettings(settings);
  for (const auto* address : {u"c1", u"c2", u"c3", u"c4", u"c5", u"c6"}) {
    SetFieldText(settings.address, address);
    ASSERT_TRUE(RememberHost(settings, folder_));
  }
  const fs::path file = folder_ / "sourceinfo.bin";
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_FALSE(fs::exists(folder_ / "ntripinfo.bin"));

  BaseSettings loaded;
  ASSERT_TRUE(ReadSettingsFile(loaded, folder_));
  EXPECT_EQ(loaded, settings);
  EXPECT_EQ(FieldText(loaded.hosts[0].address), u"c6");
  EXPECT_EQ(FieldText(loaded.hosts[4].address), u"c5");
}

TEST_F(BaseSettingsTest, ShortFixtureFillsOnlyTheBeginning) {
  fs::copy_file(fs::path(QUILLON_SETTINGS_TESTDATA) / "short.bin", folder_ / "sourceinfo.bin");
  BaseSettings settings;
  SetDefaultSettings(settings);  // what was there before must not show through
  ASSERT_TRUE(ReadSettingsFile(settings, folder_));
  EXPECT_EQ(FieldText(settings.userName), u"alice");
  EXPECT_EQ(FieldText(settings.mountPoint), u"");
  EXPECT_EQ(settings.port, 0);
  EXPECT_EQ(settings.comIndex, 0);
}

}  // namespace
}  // namespace quillon
