#include "common/settings_extension.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "common/utf8.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// The long values of testdata/extension.bin (make_settings_fixtures.py).
constexpr std::u16string_view kUser = u"jane.surveyor@example.com";
constexpr std::u16string_view kPassword = u"tok_9f3c1e7a5b2d4086a1c3e5f7092b4d6f81a3";
constexpr std::u16string_view kAddress = u"ntrip.data.gnss.ga.gov.au";
constexpr std::u16string_view kMountPoint =
    u"M\u00DCNCHEN-RTCM3-MSM7-RTCM3-MSM7-RTCM3-MSM7-RTCM3-MSM7-VRS-GPS1";
constexpr std::u16string_view kDevice =
    u"/dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00";

SettingsBytes Fixture(const char* name) {
  std::ifstream file(fs::path(QUILLON_SETTINGS_TESTDATA) / name, std::ios::binary);
  return SettingsBytes(std::istreambuf_iterator<char>(file), {});
}

SettingsBytes FileOf(const SettingsRecord& record) {
  SettingsImage image{};
  EncodeSharedSettings(record, image);
  return SettingsFileBytes(image, record);
}

// A file written by another writer (Python, from the format's description) loads whole, and
// this program writes the same record back to the same bytes.
TEST(SettingsExtension, AFileFromAnotherWriterLoadsWholeAndIsWrittenBackByteForByte) {
  const SettingsBytes file = Fixture("extension.bin");
  ASSERT_GT(file.size(), kSettingsImageSize);
  SettingsRecord record;
  DecodeSharedSettings(file, record);
  const HostEntry& host = record.hosts[0];
  const std::pair<std::u16string_view, std::u16string_view> loaded[] = {
      {FieldText(record.userName), kUser},       {FieldText(record.password), kPassword},
      {FieldText(record.address), kAddress},     {FieldText(record.mountPoint), kMountPoint},
      {FieldText(record.comPortName), kDevice},  {FieldText(host.address), kAddress},
      {FieldText(host.userName), kUser},         {FieldText(host.password), kPassword},
      {FieldText(host.mountPoints[0]), kMountPoint},
  };
  for (const auto& [text, expected] : loaded) EXPECT_EQ(text, expected);
  EXPECT_EQ(FileOf(record), file);

  // One flipped bit: the image's fields as they are.
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
  SetFieldText(record.userName, kUser.substr(0, 15));
  SetFieldText(record.hosts[4].mountPoints[9], kMountPoint.substr(0, 19));
  EXPECT_TRUE(EncodeSettingsExtension(record).empty());
  EXPECT_EQ(FileOf(record).size(), kSettingsImageSize);

  SetFieldText(record.hosts[4].mountPoints[9], kMountPoint);
  SetFieldText(record.hosts[2].address, kAddress);
  SettingsRecord decoded;
  DecodeSharedSettings(FileOf(record), decoded);
  EXPECT_EQ(decoded, record);
  EXPECT_EQ(FieldText(decoded.hosts[4].mountPoints[9]), kMountPoint);
  EXPECT_EQ(FieldText(decoded.hosts[4].mountPoints[8]), u"");
}

// One record as the format describes it: id, host slot, mount-point slot, size, bytes.
struct Record {
  std::uint8_t id;
  std::string value;
};

// The checksum over everything from the magic to the last record.
void Seal(SettingsBytes& file) {
  const std::span<std::uint8_t> extension = std::span(file).subspan(kSettingsImageSize);
  const std::size_t checked = extension.size() - 4;
  PutLittleEndian(extension, checked, 4, Crc32(extension.first(checked)));
}

SettingsBytes WithExtension(const SettingsImage& image, const std::vector<Record>& records) {
  SettingsBytes file(image.begin(), image.end());
  std::string body;
  for (const Record& record : records) {
    body += {static_cast<char>(record.id), '\xFF', '\xFF', static_cast<char>(record.value.size()),
             static_cast<char>(record.value.size() >> 8)};
    body += record.value;
  }
  const std::string header = {'Z', 'Q', 'E', 'X', 1, 0, static_cast<char>(body.size()),
                              static_cast<char>(body.size() >> 8), 0, 0};
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), body.begin(), body.end());
  file.resize(file.size() + 4);
  Seal(file);
  return file;
}

// What a damaged extension or value keeps: the image's text. A damage to the whole extension
// costs every value; a refused value costs only itself (the password's record stays good).
TEST(SettingsExtension, ADamagedExtensionOrAnUntrustworthyValueLeavesTheImagesText) {
  const std::string user = "jane.surveyor@example.com";
  const std::string password = "tok_9f3c1e7a5b2d4086a1c3e5f7092b4d6f81a3";
  const std::u16string userStart(kUser.substr(0, 15));
  const auto resealed = [](std::function<void(SettingsBytes&)> damage) {
    return [damage](SettingsBytes& file) {
      damage(file);
      Seal(file);
    };
  };
  constexpr std::size_t kAt = kSettingsImageSize;  // the magic
  const struct {
    const char* name;
    std::string userValue;
    std::function<void(SettingsBytes&)> damage;
    std::u16string_view userText;
    bool passwordTaken;
  } cases[] = {
      {"sound", user, [](SettingsBytes&) {}, kUser, true},
      {"unknown value id skipped", user,
       resealed([](SettingsBytes& file) {
         // A later program's value before the checksum: id 99, no slots, 1 byte.
         const std::uint8_t later[] = {99, 0xFF, 0xFF, 1, 0, 'x'};
         file.insert(file.end() - 4, std::begin(later), std::end(later));
         PutLittleEndian(file, kAt + 6, 4, GetLittleEndian(file, kAt + 6, 4) + 6);
       }),
       kUser, true},
      {"truncated", user, [](SettingsBytes& file) { file.pop_back(); }, userStart, false},
      {"bad checksum", user, [](SettingsBytes& file) { file.back() ^= 0x80; }, userStart, false},
      {"bad magic", user, resealed([](SettingsBytes& file) { file[kAt] = 'z'; }), userStart,
       false},
      {"bad version", user, resealed([](SettingsBytes& file) { file[kAt + 4] = 2; }), userStart,
       false},
      {"length past the end", user,
       resealed([](SettingsBytes& file) { PutLittleEndian(file, kAt + 6, 4, 60000); }), userStart,
       false},
      // The password's record (after the user name's 5 + 25 bytes) claims 127 bytes.
      {"record past the end", user, resealed([](SettingsBytes& file) { file[kAt + 43] = 0x7F; }),
       userStart, false},
      {"control character", user + "\r\nX-Evil: 1", {}, userStart, true},
      {"over-long record", user + std::string(231, 'x'), {}, userStart, true},  // 256 bytes
      {"not UTF-8", user + "\xFF", {}, userStart, true},
      {"no longer than the image's field", user.substr(0, 15), {}, userStart, true},
      {"image rewritten since", user,
       [](SettingsBytes& file) {
         file[4] = 'J';  // "Jane.surveyor@e": an older program's change
       },
       u"Jane.surveyor@e", true},
  };
  SettingsRecord record;
  SetFieldText(record.userName, kUser);
  SetFieldText(record.password, FromUtf8(password));
  SettingsImage image{};
  EncodeSharedSettings(record, image);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsBytes file = WithExtension(image, {{1, c.userValue}, {2, password}});
    if (c.damage) c.damage(file);
    SettingsRecord decoded;
    DecodeSharedSettings(file, decoded);
    EXPECT_EQ(FieldText(decoded.userName), c.userText);
    EXPECT_EQ(FieldText(decoded.password),
              c.passwordTaken ? FromUtf8(password) : FromUtf8(password.substr(0, 15)));
  }
}

TEST(SettingsExtension, Crc32IsTheStandardOne) {
  const std::string check = "123456789";  // the CRC catalogue's check value for CRC-32
  EXPECT_EQ(Crc32(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())),
            0xCBF43926u);
}

}  // namespace
}  // namespace quillon
