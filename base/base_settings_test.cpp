#include "base/base_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

TEST(BaseSettingsTest, TrailingReservedBytesAreWrittenBackAsRead) {
  SettingsImage image{};
  for (std::size_t at = 2800; at < 2824; ++at) image[at] = static_cast<std::uint8_t>(at);
  BaseSettings settings;
  DecodeSettings(image, settings);
  const SettingsBytes again = EncodeSettings(settings);
  ASSERT_EQ(again.size(), kSettingsImageSize);
  EXPECT_TRUE(std::equal(again.begin() + 2800, again.end(), image.begin() + 2800));
}

// The Base's record goes to its own file, never to the Rover's.
TEST(BaseSettingsTest, DefaultsThenRememberHostWriteSourceInfo) {
  const testing::TempFolder folder;
  BaseSettings settings;
  settings.reserved2800[3] = 1;
  EXPECT_FALSE(ReadSettingsFile(settings, folder.Path()));
  EXPECT_EQ(FieldText(settings.password), u"mellowax");
  EXPECT_EQ(settings.reserved2800[3], 0);
  ASSERT_TRUE(RememberHost(settings, folder.Path()));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "sourceinfo.bin"));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "ntripinfo.bin"));
  BaseSettings loaded;
  EXPECT_TRUE(ReadSettingsFile(loaded, folder.Path()));
  EXPECT_EQ(loaded, settings);
  EXPECT_EQ(FieldText(loaded.hosts[0].address), u"0.0.0.0");
}

}  // namespace
}  // namespace quillon
