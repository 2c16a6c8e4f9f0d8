#include "base/base_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace quillon {
namespace {

namespace fs = std::filesystem;

TEST(BaseSettingsTest, TrailingReservedBytesAreWrittenBackAsRead) {
  SettingsImage image{};
  for (std::size_t at = 2800; at < 2824; ++at) image[at] = static_cast<std::uint8_t>(at);
  BaseSettings settings;
  DecodeBaseSettings(image, settings);
  const SettingsImage again = EncodeBaseSettings(settings);
  for (std::size_t at = 2800; at < 2824; ++at) EXPECT_EQ(again[at], image[at]) << at;
}

TEST(BaseSettingsTest, DefaultsThenRememberHostWriteSourceInfo) {
  const fs::path folder =
      fs::temp_directory_path() / ("quillon-base-settings-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  BaseSettings settings;
  settings.reserved2800[3] = 1;
  EXPECT_FALSE(ReadSettingsFile(settings, folder));
  EXPECT_EQ(FieldText(settings.password), u"mellowax");
  EXPECT_EQ(settings.reserved2800[3], 0);

  ASSERT_TRUE(RememberHost(settings, folder));
  EXPECT_TRUE(fs::exists(folder / "sourceinfo.bin"));
  EXPECT_FALSE(fs::exists(folder / "ntripinfo.bin"));
  BaseSettings loaded;
  EXPECT_TRUE(ReadSettingsFile(loaded, folder));
  EXPECT_EQ(loaded, settings);
  EXPECT_EQ(FieldText(loaded.hosts[0].address), u"0.0.0.0");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quillon
