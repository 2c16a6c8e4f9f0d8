#include "common/settings_record.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

// Byte access written out independently of the code under test.
std::int32_t Int32At(std::span<const std::uint8_t> image, std::size_t at) {
  return static_cast<std::int32_t>(image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
                                   static_cast<std::uint32_t>(image[at + 3]) << 24);
}

std::u16string TextAt(const SettingsImage& image, std::size_t at, std::size_t units) {
  std::u16string text;
  for (std::size_t i = 0; i < units && (image[at + 2 * i] | image[at + 2 * i + 1]); ++i) {
    text += static_cast<char16_t>(image[at + 2 * i] | image[at + 2 * i + 1] << 8);
  }
  return text;
}

TEST(SettingsRecordTest, EncodePutsEveryFieldAtItsOffsetAndDecodeReadsItBack) {
  SettingsRecord record;
  SetFieldText(record.userName, u"user-name-15chr");
  SetFieldText(record.password, u"pässwörd");
  SetFieldText(record.address, u"caster.example.com");
  SetFieldText(record.comPortName, u"/dev/rfcomm0:");
  SetFieldText(record.mountPoint, u"MOUNT-\U0001F600");
  record.port = 2101;
  record.comIndex = -1;
  record.baudIndex = 6;
  record.reserved120 = 0x01020304;
  record.noAuthentication = 1;
  record.reserved208 = -2;
  record.selectedHost = 4;
  record.hostCount = 5;
  HostEntry& entry = record.hosts[3];
  SetFieldText(entry.address, u"host-d");
  SetFieldText(entry.userName, u"user-d");
  SetFieldText(entry.password, u"pass-d");
  SetFieldText(entry.mountPoints[9], u"tenth");
  entry.port = 1003;
  entry.selectedMountPoint = 8;
  entry.mountPointCount = 10;
  SettingsImage image;
  image.fill(0xEE);
  EncodeSharedSettings(record, image);
  const std::pair<std::size_t, std::int32_t> integers[] = {
      {0, 0},    {108, 2101}, {112, -1}, {116, 6},     {120, 0x01020304}, {204, 1},
      {208, -2}, {212, 4},    {216, 5},  {1808, 1003}, {1876, 8},         {1880, 10}};
  for (const auto& [at, value] : integers) EXPECT_EQ(Int32At(image, at), value) << "at " << at;
  const std::tuple<std::size_t, std::size_t, std::u16string_view> texts[] = {
      {4, 16, u"user-name-15chr"}, {36, 16, u"pässwörd"},          {68, 20, u"caster.example.com"},
      {124, 20, u"/dev/rfcomm0:"}, {164, 20, u"MOUNT-\U0001F600"}, {1768, 20, u"host-d"},
      {1812, 16, u"user-d"},       {1844, 16, u"pass-d"},          {2244, 20, u"tenth"}};
  for (const auto& [at, units, value] : texts) EXPECT_EQ(TextAt(image, at, units), value) << at;
  // The mode's own bytes are not the shared part's to write.
  for (std::size_t at = 2800; at < kSettingsImageSize; ++at) EXPECT_EQ(image[at], 0xEE) << at;
  SettingsRecord decoded;
  DecodeSharedSettings(image, decoded);
  EXPECT_EQ(decoded, record);
}

// A text set anew leaves nothing of the old one behind its terminator; one not set goes back as
// read.
TEST(SettingsRecordTest, ATextSetAnewIsZeroPaddedAndOneNotSetKeepsItsBytes) {
  SettingsImage image{};
  const auto put = [&image](std::size_t at, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
      image[at + 2 * i] = static_cast<std::uint8_t>(text[i]);
  };
  put(4, std::u16string_view(u"ab\0zz", 5));
  put(36, u"PSECRETPASSWD");
  SettingsRecord record;
  DecodeSharedSettings(image, record);
  SetFieldText(record.password, u"x");
  SettingsImage again{};
  EncodeSharedSettings(record, again);
  std::fill_n(image.begin() + 36, 32, 0);
  put(36, u"x");
  EXPECT_EQ(again, image);
}

}  // namespace
}  // namespace quillon
