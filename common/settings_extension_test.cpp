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

namespace quillon {
namespace {

// The long values of testdata/extension.bin (make_settings_fixtures.py).
constexpr std::u16string_view kUser = u"jane.surveyor@example.com";
constexpr std::u16string_view kPassword = u"tok_9f3c1e7a5b2d4086a1c3e5f7092b4d6f81a3";
constexpr std::u16string_view kAddress = u"ntrip.data.gnss.ga.gov.au";
constexpr std::u16string_view kMountPoint =
    u"M\u00DCNCHEN-RTCM3-MSM7-RTCM3-MSM7-RTCM3-MSM7-RTCM3-MSM7-VRS-GPS1";

// Read as plain bytes: the checkout may belong to another user than the one running the tests.
SettingsBytes Fixture(const char* name) {
  std::ifstream file(std::filesystem::path(QUILLON_SETTINGS_TESTDATA) / name, std::ios::binary);
  SettingsBytes bytes(std::istreambuf_iterator<char>(file), {});
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

SettingsBytes FileOf(const SettingsRecord& record) {
  SettingsImage image{};
  EncodeSharedSettings(record, image);
  return SettingsFileBytes(image, record);
}

SettingsRecord Decoded(std::span<const std::uint8_t> file) {
  SettingsRecord record;
  DecodeSharedSettings(file, record);
  return record;
}

// Written by Python from the format's description; one flipped bit leaves the image's texts.
TEST(SettingsExtension, AFileFromAnotherWriterLoadsWholeAndIsWrittenBackByteForByte) {
  const SettingsBytes file = Fixture("extension.bin");
  const SettingsRecord record = Decoded(file);
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
  // Read into a record that holds a file read before, as the Rover dialog does, nothing stays.
  SettingsRecord reused = record;
  reused.protocol = reused.hosts[1].protocol = {NtripVersion::k2, true, "/etc/ca.pem"};
  reused.upstream.ggaSeconds = 5;
  DecodeSharedSettings(Fixture("long.bin"), reused);
  EXPECT_EQ(reused, Decoded(Fixture("long.bin")));
  const SettingsRecord damaged = Decoded(Fixture("extension_damaged.bin"));
  EXPECT_EQ(FieldText(damaged.userName), kUser.substr(0, 15));
  EXPECT_EQ(FieldText(damaged.hosts[0].mountPoints[0]), kMountPoint.substr(0, 19));
}

// Short values go back as read, even old text behind the terminators; only the owner becomes 0.
TEST(SettingsExtension, OnlyATextTheImageCannotHoldMakesOneAndItsSlotComesBack) {
  for (const char* name : {"short.bin", "long.bin", "from_device.bin"}) {
    SettingsImage original = PaddedSettingsImage(Fixture(name));
    const SettingsRecord loaded = Decoded(original);
    SettingsImage again{};
    std::copy(original.begin() + kSharedPartSize, original.end(), again.begin() + kSharedPartSize);
    EncodeSharedSettings(loaded, again);
    std::fill_n(original.begin(), 4, 0);
    EXPECT_EQ(again, original) << name;
    EXPECT_EQ(SettingsFileBytes(again, loaded).size(), kSettingsImageSize) << name;
  }
  SettingsRecord record;
  SetFieldText(record.hosts[4].mountPoints[9], kMountPoint);
  EXPECT_EQ(Decoded(FileOf(record)), record);
}

TEST(SettingsFixtureTest, DamagedFilesLoadAsFarAsTheyGoAsSaneValues) {
  SettingsRecord record = Decoded(Fixture("short.bin"));
  EXPECT_EQ(FieldText(record.userName), u"alice");
  EXPECT_EQ(FieldText(record.password), u"s3cret");
  EXPECT_EQ(FieldText(record.address), u"caster.example.o");  // 100 bytes end 16 units in
  record.userName = record.password = {};
  record.address = {};
  EXPECT_EQ(record, SettingsRecord{});
  record = Decoded(Fixture("long.bin"));
  EXPECT_EQ(FieldText(record.address), u"192.0.2.7");
  EXPECT_EQ(record.port, 2101);
  EXPECT_EQ(FieldText(record.comPortName), u"/dev/ttyUSB0:");
  EXPECT_EQ(record.hostCount, 2);
  EXPECT_EQ(FieldText(record.hosts[1].mountPoints[1]), u"RTCM3");
  record = Decoded(Fixture("out_of_range.bin"));
  EXPECT_EQ(record.hostCount, 5);     // was 9
  EXPECT_EQ(record.selectedHost, 0);  // was 7
  // Counts and selections were 42 and -3, -5 and 2, 10 and 10, and in range.
  const std::pair<std::int32_t, std::int32_t> countAndSelected[] = {
      {10, 0}, {0, 0}, {10, 0}, {2, 1}};
  for (std::size_t slot = 0; slot < 4; ++slot) {
    const HostEntry& host = record.hosts[slot];
    EXPECT_EQ(std::pair(host.mountPointCount, host.selectedMountPoint), countAndSelected[slot]);
  }
  // Texts filling their whole field are cut at its end, never inside a surrogate pair.
  EXPECT_EQ(FieldText(record.address), std::u16string(19, u'A'));
  EXPECT_EQ(FieldText(record.mountPoint), std::u16string(18, u'M'));
  const SettingsRecord noise = Decoded(Fixture("random.bin"));
  EXPECT_EQ(noise.noAuthentication, 0);  // a login is sent
  EXPECT_EQ(noise.baudIndex, 1);
  EXPECT_EQ(noise.comIndex, 1);
  EXPECT_EQ(noise.port, 0);  // Connect refuses it
  for (const HostEntry& entry : noise.hosts) EXPECT_TRUE(entry.port >= 0 && entry.port <= 65535);
  // Texts that would carry CR, LF or ESC into a request or a terminal read as empty.
  const SettingsRecord injected = Decoded(Fixture("header_injection.bin"));
  const HostEntry& host = injected.hosts[0];
  for (const auto* text : {&injected.userName, &injected.password, &host.userName, &host.password})
    EXPECT_EQ(FieldText(*text), u"");
  EXPECT_EQ(FieldText(injected.mountPoint), u"");
  EXPECT_EQ(FieldText(host.mountPoints[1]), u"");
  EXPECT_EQ(FieldText(injected.address), u"caster.example");
  EXPECT_EQ(injected.port, 2101);
  EXPECT_EQ(FieldText(host.mountPoints[0]), u"OK");
}

// The checksum over everything from the magic to the last record.
void Seal(SettingsBytes& file) {
  const std::size_t checked = file.size() - 4;
  const auto extension = std::span(file).subspan(kSettingsImageSize, checked - kSettingsImageSize);
  PutLittleEndian(file, checked, 4, Crc32(extension));
}

// A damage to the whole extension costs every long value; an untrusted value only itself.
TEST(SettingsExtension, ADamagedExtensionOrAnUntrustworthyValueLeavesTheImagesText) {
  constexpr std::size_t kAt = kSettingsImageSize;     // magic, version, length, records, CRC
  constexpr std::size_t kUserValueAt = kAt + 10 + 5;  // the user name's record comes first
  constexpr std::u16string_view kStart = kUser.substr(0, 15);
  using Damage = std::function<void(SettingsBytes&)>;
  const auto set = [](std::size_t at, std::uint8_t byte) -> Damage {
    return [at, byte](SettingsBytes& file) { file[at] = byte; };
  };
  // Inserts records or value bytes at `at`, and counts them in the extension's length.
  const auto insert = [](std::size_t at, std::string bytes) -> Damage {
    return [at, bytes](SettingsBytes& file) {
      file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
      PutLittleEndian(file, kAt + 6, 4, GetLittleEndian(file, kAt + 6, 4) + bytes.size());
    };
  };
  const struct {
    const char* name;
    Damage damage;
    bool resealed;
    std::u16string_view user;
    bool passwordTaken;
  } cases[] = {
      {"sound", set(kAt, 'Z'), false, kUser, true},
      {"a later program's value, skipped", insert(kAt + 85, {99, '\xFF', '\xFF', 1, 0, 'x'}), true,
       kUser, true},
      {"truncated", [](SettingsBytes& file) { file.pop_back(); }, false, kStart, false},
      {"bad checksum", [](SettingsBytes& file) { file.back() ^= 0x80; }, false, kStart, false},
      {"bad magic", set(kAt, 'z'), true, kStart, false},
      {"bad version", set(kAt + 4, 2), true, kStart, false},
      {"length past the end", set(kAt + 7, 0xE0), true, kStart, false},
      {"record past the end", set(kAt + 43, 0x7F), true, kStart, false},  // the password's
      {"control character", set(kUserValueAt + 20, '\n'), true, kStart, true},
      {"not UTF-8", set(kUserValueAt + 20, 0xFF), true, kStart, true},
      {"over-long record",  // 25 + 231 = 256 bytes
       [&](SettingsBytes& file) {
         insert(kUserValueAt + 25, std::string(231, 'x'))(file);
         PutLittleEndian(file, kUserValueAt - 2, 2, 256);
       },
       true, kStart, true},
      {"image rewritten since", set(4, 'J'), false, u"Jane.surveyor@e", true},
  };
  SettingsRecord record;
  SetFieldText(record.userName, kUser);
  SetFieldText(record.password, kPassword);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsBytes file = FileOf(record);
    c.damage(file);
    if (c.resealed) Seal(file);
    const SettingsRecord decoded = Decoded(file);
    EXPECT_EQ(FieldText(decoded.userName), c.user);
    EXPECT_EQ(FieldText(decoded.password), c.passwordTaken ? kPassword : kPassword.substr(0, 15));
  }
}

// A record: id, host slot, mount-point slot, size, value; changed and resealed, taken when sound.
TEST(SettingsExtension, TheUpstreamChoiceAndEachCastersProtocolAreTakenOnlyWhenSound) {
  constexpr std::size_t kValueAt = kSettingsImageSize + 10 + 5;
  SettingsRecord record;
  EXPECT_EQ(FileOf(record).size(), kSettingsImageSize);
  record.upstream.ggaSeconds = 3600;
  const SettingsBytes upstream = FileOf(record);
  EXPECT_EQ(std::vector(upstream.begin() + kSettingsImageSize, upstream.end() - 4),
            (std::vector<std::uint8_t>{'Z', 'Q', 'E', 'X', 1, 0, 7, 0, 0, 0, 7, 0xFF, 0xFF, 2, 0,
                                       0x10, 0x0E}));
  record = {};
  record.protocol = {NtripVersion::k2, true, "/etc/quillon/ca.pem"};
  const SettingsBytes protocol = FileOf(record);
  EXPECT_EQ(std::string(protocol.begin() + kSettingsImageSize + 10, protocol.end() - 4),
            std::string("\x06\xFF\xFF\x15\x00\x02\x01/etc/quillon/ca.pem", 26));
  record.hosts[3].protocol = {NtripVersion::k2, false, ""};
  EXPECT_EQ(Decoded(FileOf(record)), record);
  using Read = int (*)(const SettingsRecord&);
  const Read interval = [](const SettingsRecord& r) { return r.upstream.ggaSeconds; };
  const Read taken = [](const SettingsRecord& r) { return r.protocol == CasterProtocol{} ? 0 : 1; };
  const struct {
    const SettingsBytes& file;
    std::size_t at;
    std::vector<std::uint8_t> bytes;
    Read read;
    int expected;
  } changes[] = {
      {upstream, kValueAt, {1, 0}, interval, 1},
      {upstream, kValueAt, {0x10, 0x0E}, interval, 3600},
      {upstream, kValueAt, {0, 0}, interval, 0},
      {upstream, kValueAt, {0x11, 0x0E}, interval, 0},  // 3601
      {upstream, kValueAt, {0xFF, 0xFF}, interval, 0},
      {protocol, kValueAt, {2}, taken, 1},
      {protocol, kValueAt, {3}, taken, 0},        // version 3
      {protocol, kValueAt + 1, {2}, taken, 0},    // TLS 2
      {protocol, kValueAt, {1}, taken, 0},        // TLS with version 1
      {protocol, kValueAt + 2, {'e'}, taken, 0},  // a relative path
      {protocol, kValueAt + 5, {'\n'}, taken, 0},
      {protocol, kValueAt + 5, {0xFF}, taken, 0},  // not UTF-8
  };
  for (const auto& c : changes) {
    SettingsBytes changed = c.file;
    std::copy(c.bytes.begin(), c.bytes.end(), changed.begin() + static_cast<std::ptrdiff_t>(c.at));
    Seal(changed);
    EXPECT_EQ(c.read(Decoded(changed)), c.expected) << c.at << " " << int{c.bytes[0]};
  }
}

}  // namespace
}  // namespace quillon
