#include "common/settings_extension.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "common/little_endian.h"

namespace quillon {
namespace {

// The long values of testdata/extension.bin (make_settings_fixtures.py).
constexpr std::u16string_view kUser = u"jane.surveyor@example.com";
constexpr std::u16string_view kPassword = u"tok_9f3c1e7a5b2d4086a1c3e5f7092b4d6f81a3";
constexpr std::u16string_view kAddress = u"ntrip.data.gnss.ga.gov.au";
constexpr std::u16string_view kMountPoint =
    u"M\u00DCNCHEN-RTCM3-MSM7-RTCM3-MSM7-RTCM3-MSM7-RTCM3-MSM7-VRS-GPS1";

SettingsBytes Fixture(const char* name) {
  std::ifstream file(std::filesystem::path(QUILLON_SETTINGS_TESTDATA) / name, std::ios::binary);
  return SettingsBytes(std::istreambuf_iterator<char>(file), {});
}

SettingsBytes FileOf(const SettingsRecord& record) {
  SettingsImage image{};
  EncodeSharedSettings(record, image);
  return SettingsFileBytes(image, record);
}

// A file written by another writer (Python, from the format's description) loads whole, and this
// program writes the record back to the same bytes; one flipped bit leaves the image's texts.
TEST(SettingsExtension, AFileFromAnotherWriterLoadsWholeAndIsWrittenBackByteForByte) {
  const SettingsBytes file = Fixture("extension.bin");
  SettingsRecord record;
  DecodeSharedSettings(file, record);
  const HostEntry& host = record.hosts[0];
  for (const auto& [text, expected] : {std::pair{FieldText(record.userName), kUser},
                                       {FieldText(record.password), kPassword},
                                       {FieldText(record.address), kAddress},
                                       {FieldText(host.address), kAddress},
                                       {FieldText(host.userName), kUser},
                                       {FieldText(host.mountPoints[0]), kMountPoint}}) {
    EXPECT_EQ(text, expected);
  }
  EXPECT_EQ(FieldText(record.comPortName).size(), 74u);
  EXPECT_EQ(FileOf(record), file);

  DecodeSharedSettings(Fixture("extension_damaged.bin"), record);
  EXPECT_EQ(FieldText(record.userName), kUser.substr(0, 15));
  EXPECT_EQ(FieldText(host.mountPoints[0]), kMountPoint.substr(0, 19));
}

// Files with short values, one from the handheld with old text behind its terminators among
// them, are written back as they were read, without an extension: only the owner becomes 0.
TEST(SettingsExtension, OnlyATextTheImageCannotHoldMakesOneAndItsSlotComesBack) {
  for (const char* name : {"short.bin", "long.bin", "from_device.bin"}) {
    SettingsImage original = PaddedSettingsImage(Fixture(name));
    SettingsRecord loaded;
    DecodeSharedSettings(original, loaded);
    SettingsImage again{};
    std::copy(original.begin() + kSharedPartSize, original.end(), again.begin() + kSharedPartSize);
    EncodeSharedSettings(loaded, again);
    std::fill_n(original.begin(), 4, 0);
    EXPECT_EQ(again, original) << name;
    EXPECT_EQ(SettingsFileBytes(again, loaded).size(), kSettingsImageSize) << name;
  }
  SettingsRecord record;
  SetFieldText(record.hosts[4].mountPoints[9], kMountPoint);
  SettingsRecord decoded;
  DecodeSharedSettings(FileOf(record), decoded);
  EXPECT_EQ(decoded, record);
}

// The checksum over everything from the magic to the last record.
void Seal(SettingsBytes& file) {
  const std::size_t checked = file.size() - 4;
  const auto extension = std::span(file).subspan(kSettingsImageSize, checked - kSettingsImageSize);
  PutLittleEndian(file, checked, 4, Crc32(extension));
}

// A damage to the whole extension costs every long value; a value that cannot be trusted costs
// only itself (the password's stays). Either way the image's text is used.
TEST(SettingsExtension, ADamagedExtensionOrAnUntrustworthyValueLeavesTheImagesText) {
  constexpr std::size_t kAt = kSettingsImageSize;  // magic, version, length, records, checksum
  constexpr std::size_t kUserValueAt = kAt + 10 + 5;  // the first record: the user name's
  const struct {
    const char* name;
    std::function<void(SettingsBytes&)> damage;
    bool resealed;
    std::u16string_view user;
    bool passwordTaken;
  } cases[] = {
      {"sound", [](SettingsBytes&) {}, false, kUser, true},
      {"a later program's value, skipped",
       [](SettingsBytes& file) {
         const std::uint8_t later[] = {99, 0xFF, 0xFF, 1, 0, 'x'};
         file.insert(file.end() - 4, std::begin(later), std::end(later));
         PutLittleEndian(file, kAt + 6, 4, GetLittleEndian(file, kAt + 6, 4) + 6);
       },
       true, kUser, true},
      {"truncated", [](SettingsBytes& file) { file.pop_back(); }, false, kUser.substr(0, 15), false},
      {"bad checksum", [](SettingsBytes& file) { file.back() ^= 0x80; }, false,
       kUser.substr(0, 15), false},
      {"bad magic", [](SettingsBytes& file) { file[kAt] = 'z'; }, true, kUser.substr(0, 15), false},
      {"bad version", [](SettingsBytes& file) { file[kAt + 4] = 2; }, true, kUser.substr(0, 15), false},
      {"length past the end", [](SettingsBytes& file) { PutLittleEndian(file, kAt + 6, 4, 60000); },
       true, kUser.substr(0, 15), false},
      // The password's record, after the user name's 5 + 25 bytes, claims 127 bytes.
      {"record past the end", [](SettingsBytes& file) { file[kAt + 43] = 0x7F; }, true,
       kUser.substr(0, 15), false},
      {"control character", [](SettingsBytes& file) { file[kUserValueAt + 20] = '\n'; }, true,
       kUser.substr(0, 15), true},
      {"not UTF-8", [](SettingsBytes& file) { file[kUserValueAt + 20] = 0xFF; }, true,
       kUser.substr(0, 15), true},
      {"over-long record",  // 256 bytes for a user name
       [](SettingsBytes& file) {
         file.insert(file.begin() + kUserValueAt + 25, 231, 'x');
         PutLittleEndian(file, kUserValueAt - 2, 2, 256);
         PutLittleEndian(file, kAt + 6, 4, GetLittleEndian(file, kAt + 6, 4) + 231);
       },
       true, kUser.substr(0, 15), true},
      {"image rewritten since", [](SettingsBytes& file) { file[4] = 'J'; }, false,
       u"Jane.surveyor@e", true},
  };
  SettingsRecord record;
  SetFieldText(record.userName, kUser);
  SetFieldText(record.password, kPassword);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsBytes file = FileOf(record);
    c.damage(file);
    if (c.resealed) Seal(file);
    SettingsRecord decoded;
    DecodeSharedSettings(file, decoded);
    EXPECT_EQ(FieldText(decoded.userName), c.user);
    EXPECT_EQ(FieldText(decoded.password), c.passwordTaken ? kPassword : kPassword.substr(0, 15));
  }
}

TEST(SettingsExtension, Crc32IsTheStandardOne) {
  const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32(check), 0xCBF43926u);  // the CRC catalogue's check value for CRC-32
}

}  // namespace
}  // namespace quillon
