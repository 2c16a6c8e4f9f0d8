#include "common/settings_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

// Byte access written out independently of the code under test.
std::int32_t Int32At(const SettingsImage& image, std::size_t at) {
  return static_cast<std::int32_t>(image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
                                   static_cast<std::uint32_t>(image[at + 3]) << 24);
}

void PutInt32At(std::vector<std::uint8_t>& image, std::size_t at, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// The zero-terminated UTF-16LE text at `at`, reading at most `units`.
std::u16string TextAt(const SettingsImage& image, std::size_t at, std::size_t units) {
  std::u16string text;
  for (std::size_t i = 0; i < units; ++i) {
    const auto unit = static_cast<char16_t>(image[at + 2 * i] | image[at + 2 * i + 1] << 8);
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

void PutTextAt(std::vector<std::uint8_t>& image, std::size_t at, std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    image[at + 2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    image[at + 2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
}

std::size_t EntryAt(std::size_t slot) { return 220 + 516 * slot; }

// A record whose every field holds a value of its own.
SettingsRecord DistinctRecord() {
  SettingsRecord record;
  SetFieldText(record.userName, u"user-name-15chr");
  SetFieldText(record.password, u"pässwörd");
  SetFieldText(record.address, u"caster.example.com");
  record.port = 2101;
  record.comIndex = -1;
  record.baudIndex = 6;
  record.reserved120 = 0x01020304;
  SetFieldText(record.comPortName, u"/dev/rfcomm0:");
  SetFieldText(record.mountPoint, u"MOUNT-\U0001F600");
  record.noAuthentication = 1;
  record.reserved208 = -2;
  record.selectedHost = 4;
  record.hostCount = 5;
  for (std::size_t slot = 0; slot < record.hosts.size(); ++slot) {
    HostEntry& entry = record.hosts[slot];
    const auto tag = static_cast<char16_t>(u'a' + slot);
    SetFieldText(entry.address, std::u16string(u"host-") + tag);
    entry.port = 1000 + static_cast<std::int32_t>(slot);
    SetFieldText(entry.userName, std::u16string(u"user-") + tag);
    SetFieldText(entry.password, std::u16string(u"pass-") + tag);
    entry.selectedMountPoint = static_cast<std::int32_t>(slot) + 5;
    entry.mountPointCount = 10;
    for (std::size_t m = 0; m < entry.mountPoints.size(); ++m) {
      SetFieldText(entry.mountPoints[m], std::u16string(u"mp-") + tag + char16_t(u'0' + m));
    }
  }
  return record;
}

TEST(SettingsRecordTest, EncodePutsEveryFieldAtItsOffset) {
  SettingsImage image;
  image.fill(0xEE);
  EncodeSharedSettings(DistinctRecord(), image);

  const struct {
    std::size_t at;
    std::int32_t value;
  } integers[] = {{0, 0},   {108, 2101}, {112, -1},  {116, 6},   {120, 0x01020304},
                  {204, 1}, {208, -2},   {212, 4},   {216, 5}};
  for (const auto& [at, value] : integers) EXPECT_EQ(Int32At(image, at), value) << "at " << at;

  const struct {
    std::size_t at;
    std::size_t units;
    std::u16string_view value;
  } texts[] = {{4, 16, u"user-name-15chr"},   {36, 16, u"pässwörd"},
               {68, 20, u"caster.example.com"}, {124, 20, u"/dev/rfcomm0:"},
               {164, 20, u"MOUNT-\U0001F600"}};
  for (const auto& [at, units, value] : texts) EXPECT_EQ(TextAt(image, at, units), value) << at;

  for (std::size_t slot = 0; slot < 5; ++slot) {
    const std::size_t at = EntryAt(slot);
    const auto tag = static_cast<char16_t>(u'a' + slot);
    EXPECT_EQ(TextAt(image, at, 20), std::u16string(u"host-") + tag);
    EXPECT_EQ(Int32At(image, at + 40), 1000 + static_cast<std::int32_t>(slot));
    EXPECT_EQ(TextAt(image, at + 44, 16), std::u16string(u"user-") + tag);
    EXPECT_EQ(TextAt(image, at + 76, 16), std::u16string(u"pass-") + tag);
    EXPECT_EQ(Int32At(image, at + 108), static_cast<std::int32_t>(slot) + 5);
    EXPECT_EQ(Int32At(image, at + 112), 10);
    for (std::size_t m = 0; m < 10; ++m) {
      EXPECT_EQ(TextAt(image, at + 116 + 40 * m, 20),
                std::u16string(u"mp-") + tag + char16_t(u'0' + m));
    }
  }
  // The mode's own bytes are not the shared part's to write.
  for (std::size_t at = 2800; at < kSettingsImageSize; ++at) EXPECT_EQ(image[at], 0xEE) << at;
}

TEST(SettingsRecordTest, DecodeReadsAHandBuiltImage) {
  std::vector<std::uint8_t> image(kSettingsImageSize, 0);
  PutInt32At(image, 0, 0x0BADF00D);  // owner: meaningless in a file
  PutTextAt(image, 4, u"ann");
  PutTextAt(image, 36, u"pw");
  PutTextAt(image, 68, u"10.0.0.1");
  PutInt32At(image, 108, -7);
  PutInt32At(image, 112, 2);
  PutInt32At(image, 116, 3);
  PutTextAt(image, 124, u"BLUETOOTH");
  PutTextAt(image, 164, u"NEAR");
  PutInt32At(image, 204, 1);
  PutInt32At(image, 212, 1);
  PutInt32At(image, 216, 2);
  PutTextAt(image, EntryAt(1), u"10.0.0.1");
  PutInt32At(image, EntryAt(1) + 40, 2102);
  PutTextAt(image, EntryAt(1) + 44, u"ann");
  PutTextAt(image, EntryAt(1) + 76, u"pw");
  PutInt32At(image, EntryAt(1) + 108, 2);
  PutInt32At(image, EntryAt(1) + 112, 3);
  PutTextAt(image, EntryAt(1) + 116 + 80, u"NEAR");

  SettingsRecord record;
  DecodeSharedSettings(image, record);
  EXPECT_EQ(FieldText(record.userName), u"ann");
  EXPECT_EQ(FieldText(record.password), u"pw");
  EXPECT_EQ(FieldText(record.address), u"10.0.0.1");
  EXPECT_EQ(record.port, -7);
  EXPECT_EQ(record.comIndex, 2);
  EXPECT_EQ(record.baudIndex, 3);
  EXPECT_EQ(FieldText(record.comPortName), u"BLUETOOTH");
  EXPECT_EQ(FieldText(record.mountPoint), u"NEAR");
  EXPECT_EQ(record.noAuthentication, 1);
  EXPECT_EQ(record.selectedHost, 1);
  EXPECT_EQ(record.hostCount, 2);
  const HostEntry& entry = record.hosts[1];
  EXPECT_EQ(FieldText(entry.address), u"10.0.0.1");
  EXPECT_EQ(entry.port, 2102);
  EXPECT_EQ(FieldText(entry.userName), u"ann");
  EXPECT_EQ(FieldText(entry.password), u"pw");
  EXPECT_EQ(entry.selectedMountPoint, 2);
  EXPECT_EQ(entry.mountPointCount, 3);
  EXPECT_EQ(FieldText(entry.mountPoints[2]), u"NEAR");
}

// Bytes behind a terminator, and every in-range value, survive decoding and encoding again:
// the two directions agree on every offset.
TEST(SettingsRecordTest, ImageSurvivesDecodeAndEncode) {
  std::mt19937 random(20240601);
  std::vector<std::uint8_t> image(kSettingsImageSize);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
  // Make every text terminated and every count and position valid.
  const auto terminate = [&](std::size_t at, std::size_t units) {
    PutTextAt(image, at + 2 * (units - 1), std::u16string(1, u'\0'));
  };
  for (const auto& [at, units] : {std::pair{4, 16}, {36, 16}, {68, 20}, {124, 20}, {164, 20}}) {
    terminate(static_cast<std::size_t>(at), static_cast<std::size_t>(units));
  }
  PutInt32At(image, 212, 3);
  PutInt32At(image, 216, 4);
  for (std::size_t slot = 0; slot < 5; ++slot) {
    const std::size_t at = EntryAt(slot);
    terminate(at, 20);
    terminate(at + 44, 16);
    terminate(at + 76, 16);
    PutInt32At(image, at + 108, static_cast<std::int32_t>(slot));
    PutInt32At(image, at + 112, 9);
    for (std::size_t m = 0; m < 10; ++m) terminate(at + 116 + 40 * m, 20);
  }

  SettingsRecord record;
  DecodeSharedSettings(image, record);
  SettingsImage again{};
  EncodeSharedSettings(record, again);
  EXPECT_EQ(Int32At(again, 0), 0);
  for (std::size_t at = 4; at < kSharedPartSize; ++at) {
    ASSERT_EQ(again[at], image[at]) << "at " << at;
  }
}

TEST(SettingsRecordTest, ClampKeepsCountsAndPositionsInsideTheRecord) {
  const struct {
    std::int32_t count, selected;
    std::int32_t wantCount, wantSelected;
  } hosts[] = {{0, 0, 0, 0},  {3, 2, 3, 2},     {5, 4, 5, 4},  {6, 5, 5, 0},
               {-1, -1, 0, 0}, {INT32_MAX, 4, 5, 4}, {2, 2, 2, 0}, {4, INT32_MIN, 4, 0}};
  for (const auto& c : hosts) {
    SettingsRecord record;
    record.hostCount = c.count;
    record.selectedHost = c.selected;
    ClampSettings(record);
    EXPECT_EQ(record.hostCount, c.wantCount) << c.count << "/" << c.selected;
    EXPECT_EQ(record.selectedHost, c.wantSelected) << c.count << "/" << c.selected;
  }

  const struct {
    std::int32_t count, selected;
    std::int32_t wantCount, wantSelected;
  } mountPoints[] = {{0, 3, 0, 0}, {10, 9, 10, 9}, {11, 10, 10, 0}, {-4, 0, 0, 0},
                     {7, 7, 7, 0}, {7, -1, 7, 0},  {INT32_MIN, 2, 0, 0}};
  for (const auto& c : mountPoints) {
    SettingsRecord record;
    // Unused slots are clamped too: a later login may take them over.
    for (auto& entry : record.hosts) {
      entry.mountPointCount = c.count;
      entry.selectedMountPoint = c.selected;
    }
    ClampSettings(record);
    for (const auto& entry : record.hosts) {
      EXPECT_EQ(entry.mountPointCount, c.wantCount) << c.count << "/" << c.selected;
      EXPECT_EQ(entry.selectedMountPoint, c.wantSelected) << c.count << "/" << c.selected;
    }
  }
}

TEST(SettingsRecordTest, UnterminatedTextsAreCutAtTheFieldsEnd) {
  std::vector<std::uint8_t> image(kSettingsImageSize, 0);
  PutTextAt(image, 4, u"0123456789ABCDEF");                 // 16 units, no terminator
  PutTextAt(image, 68, u"abcdefghijklmnopqr\U0001F600");  // pair in units 18 and 19
  PutTextAt(image, 124, u"abcdefghijklmnopqrs");           // 19 units, terminator at 19

  SettingsRecord record;
  DecodeSharedSettings(image, record);
  EXPECT_EQ(FieldText(record.userName), u"0123456789ABCDE");
  EXPECT_EQ(FieldText(record.address), u"abcdefghijklmnopqr");
  EXPECT_EQ(FieldText(record.comPortName), u"abcdefghijklmnopqrs");
}

TEST(SettingsRecordTest, ImagesOfOtherLengthsAreReadAsFarAsTheyGo) {
  std::vector<std::uint8_t> image(kSettingsImageSize, 0);
  PutTextAt(image, 4, u"user");
  PutInt32At(image, 108, 0x11223344);
  PutInt32At(image, 216, 1);
  PutTextAt(image, EntryAt(0), u"kept");

  SettingsRecord cutInsidePort;
  DecodeSharedSettings(std::span(image).first(110), cutInsidePort);
  EXPECT_EQ(FieldText(cutInsidePort.userName), u"user");
  EXPECT_EQ(cutInsidePort.port, 0x3344);  // the two bytes that were there
  EXPECT_EQ(cutInsidePort.hostCount, 0);

  std::vector<std::uint8_t> longer = image;
  longer.resize(kSettingsImageSize + 500, 0xFF);
  SettingsRecord fromLonger;
  SettingsRecord fromExact;
  DecodeSharedSettings(longer, fromLonger);
  DecodeSharedSettings(image, fromExact);
  EXPECT_EQ(fromLonger, fromExact);
  EXPECT_EQ(FieldText(fromLonger.hosts[0].address), u"kept");

  SettingsRecord fromNothing = DistinctRecord();
  DecodeSharedSettings({}, fromNothing);
  EXPECT_EQ(fromNothing, SettingsRecord{});
}

TEST(SettingsRecordTest, SharedDefaults) {
  SettingsRecord record = DistinctRecord();
  SetSharedDefaults(record);
  SettingsImage image{};
  EncodeSharedSettings(record, image);
  EXPECT_EQ(TextAt(image, 4, 16), u"user");
  EXPECT_EQ(TextAt(image, 36, 16), u"mellowax");
  EXPECT_EQ(TextAt(image, 68, 20), u"0.0.0.0");
  EXPECT_EQ(Int32At(image, 108), 80);
  EXPECT_EQ(Int32At(image, 112), 1);
  EXPECT_EQ(Int32At(image, 116), 1);
  EXPECT_EQ(Int32At(image, 120), 0);
  EXPECT_EQ(TextAt(image, 164, 20), u"MNT0");
  // Everything else is zero, the earlier contents behind the texts included.
  SettingsRecord expected;
  SetFieldText(expected.userName, u"user");
  SetFieldText(expected.password, u"mellowax");
  SetFieldText(expected.address, u"0.0.0.0");
  SetFieldText(expected.mountPoint, u"MNT0");
  expected.port = 80;
  expected.comIndex = 1;
  expected.baudIndex = 1;
  EXPECT_EQ(record, expected);
}

}  // namespace
}  // namespace quillon
