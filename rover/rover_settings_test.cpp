#include "rover/rover_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <concepts>
#include <filesystem>
#include <limits>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

// A comparison that silently skipped the override position would pass records that differ.
static_assert(!std::equality_comparable<RoverSettings>);

// The 8 bytes stored little-endian at `at`, read independently of the code under test.
std::uint64_t BitsAt(const SettingsBytes& image, std::size_t at) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= std::uint64_t{image[at + i]} << (8 * i);
  return bits;
}

// At the record's end, zero padded; a stored non-position or a flag other than 1 switches it off.
TEST(RoverSettingsTest, OverrideFromAFileIsOnlyUsedWhenItIsAPosition) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const struct {
    std::uint8_t flag;
    double latitude, longitude;
    std::uint8_t enabled;
    double keptLatitude, keptLongitude;
  } cases[] = {
      {1, -90.0, 180.0, 1, -90.0, 180.0}, {139, 52.5, 13.4, 0, 52.5, 13.4},
      {1, kNaN, 13.4, 0, 0.0, 13.4},      {1, 52.5, -kInfinity, 0, 52.5, 0.0},
      {1, 90.5, 13.4, 0, 0.0, 13.4},      {1, 52.5, -180.01, 0, 52.5, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << int{c.flag} << " " << c.latitude << " " << c.longitude);
    RoverSettings settings;
    settings.overrideLatitude = c.latitude;
    settings.overrideLongitude = c.longitude;
    settings.overrideEnabled = 1;
    SettingsBytes image = EncodeSettings(settings);
    ASSERT_EQ(image.size(), kSettingsImageSize);
    EXPECT_EQ(BitsAt(image, 2800), std::bit_cast<std::uint64_t>(c.latitude));
    EXPECT_EQ(BitsAt(image, 2808), std::bit_cast<std::uint64_t>(c.longitude));
    EXPECT_EQ(image[2816], 1);
    EXPECT_TRUE(std::all_of(image.begin() + 2817, image.end(), [](auto b) { return b == 0; }));
    image[2816] = c.flag;
    RoverSettings decoded;
    DecodeSettings(image, decoded);
    EXPECT_EQ(decoded.overrideEnabled.load(), c.enabled);
    EXPECT_EQ(decoded.overrideLatitude.load(), c.keptLatitude);
    EXPECT_EQ(decoded.overrideLongitude.load(), c.keptLongitude);
  }
}

// A failed read leaves nothing over and writes nothing; the atomics' copies are hand-written.
TEST(RoverSettingsTest, RememberHostWritesTheWholeRecordAndCopiesCarryTheOverride) {
  const testing::TempFolder folder;
  RoverSettings settings;
  SetFieldText(settings.address, u"left over");
  settings.hostCount = 3;
  settings.overrideEnabled = 1;
  EXPECT_FALSE(ReadSettingsFile(settings, folder.Path()));
  RoverSettings defaults;
  SetDefaultSettings(defaults);
  EXPECT_EQ(EncodeSettings(settings), EncodeSettings(defaults));
  EXPECT_EQ(FieldText(settings.address), u"0.0.0.0");
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));

  SetFieldText(settings.mountPoint, u"VRS");
  settings.overrideLatitude = 48.1;
  settings.overrideLongitude = 2.5;
  settings.overrideEnabled = 1;
  ASSERT_TRUE(RememberHost(settings, folder.Path()));
  EXPECT_FALSE(RememberHost(settings, folder.Path() / "gone"));  // unwritable: reported, not thrown
  RoverSettings loaded;
  ASSERT_TRUE(ReadSettingsFile(loaded, folder.Path()));
  EXPECT_EQ(loaded.hostCount, 1);
  EXPECT_EQ(FieldText(loaded.hosts[0].mountPoints[0]), u"VRS");
  EXPECT_EQ(EncodeSettings(loaded), EncodeSettings(settings));
  const RoverSettings copy(settings);
  RoverSettings assigned;
  assigned = settings;
  EXPECT_EQ(EncodeSettings(copy), EncodeSettings(settings));
  EXPECT_EQ(EncodeSettings(assigned), EncodeSettings(settings));
}

}  // namespace
}  // namespace quillon
