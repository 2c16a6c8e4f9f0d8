#include "common/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

SettingsBytes PatternImage(std::uint8_t seed) {
  SettingsBytes image(kSettingsImageSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(seed + i);
  return image;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  testing::TempFolder temp_;
  const fs::path& folder_ = temp_.Path();
  const fs::path file_ = folder_ / "settings.bin";
};

TEST_F(SettingsFileTest, NothingReadableOrPlantedGivesNothing) {
  EXPECT_FALSE(ReadSettingsBytes(file_).has_value());
  EXPECT_FALSE(ReadSettingsBytes(folder_).has_value());
  EXPECT_FALSE(WriteSettingsBytes(folder_ / "missing" / "settings.bin", PatternImage(0)));
  // Without a settings folder nothing is read or written, not even beside the program.
  const fs::path none = SettingsFilePath({}, "settings.bin");
  EXPECT_TRUE(none.empty());
  std::string problem;
  EXPECT_FALSE(WriteSettingsBytes(none, PatternImage(0), &problem));
  EXPECT_EQ(problem, "");  // the user has been told there is no settings folder
  EXPECT_FALSE(ReadSettingsBytes(none).has_value());

  // A file another user put there is not read: its host list could send the password away.
  ASSERT_TRUE(WriteSettingsBytes(file_, PatternImage(1)));
  if (::chown(file_.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "giving a file away takes root";
  EXPECT_FALSE(ReadSettingsBytes(file_).has_value());
}

// A write that fails part-way (here: at the file-size limit) must not cost the old settings.
TEST_F(SettingsFileTest, AWrittenImageReplacesTheFileIsPrivateAndAFailedWriteKeepsIt) {
  { std::ofstream(file_) << std::string(5000, 'x'); }
  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  ASSERT_TRUE(WriteSettingsBytes(file_, PatternImage(3)));
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(info.st_size, 2824);

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteSettingsBytes(file_, PatternImage(9));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadSettingsBytes(file_), PatternImage(3));
  // A temporary file left behind would show here.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 1);
}

// The corrupt files kept in testdata, made by testdata/make_settings_fixtures.py. Read as
// plain bytes: the checkout may belong to another user than the one running the tests.
SettingsRecord LoadFixture(const char* name) {
  std::ifstream file(fs::path(QUILLON_SETTINGS_TESTDATA) / name, std::ios::binary);
  const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
  EXPECT_FALSE(bytes.empty()) << name;
  SettingsRecord record;
  DecodeSharedSettings(bytes, record);
  return record;
}

TEST(SettingsFixtureTest, ShortLongAndOutOfRangeFilesLoadAsFarAsTheyGoAndClamped) {
  SettingsRecord record = LoadFixture("short.bin");
  EXPECT_EQ(FieldText(record.userName), u"alice");
  EXPECT_EQ(FieldText(record.password), u"s3cret");
  EXPECT_EQ(FieldText(record.address), u"caster.example.o");  // 100 bytes end 16 units in
  record.userName = record.password = {};
  record.address = {};
  EXPECT_EQ(record, SettingsRecord{});

  record = LoadFixture("long.bin");
  EXPECT_EQ(FieldText(record.address), u"192.0.2.7");
  EXPECT_EQ(record.port, 2101);
  EXPECT_EQ(FieldText(record.comPortName), u"/dev/ttyUSB0:");
  EXPECT_EQ(record.hostCount, 2);
  EXPECT_EQ(FieldText(record.hosts[1].mountPoints[1]), u"RTCM3");

  record = LoadFixture("out_of_range.bin");
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
}

TEST(SettingsFixtureTest, NoiseAndControlCharactersLoadAsSaneValues) {
  const SettingsRecord noise = LoadFixture("random.bin");
  EXPECT_EQ(noise.noAuthentication, 0);  // a login is sent
  EXPECT_EQ(noise.baudIndex, 1);
  EXPECT_EQ(noise.comIndex, 1);
  EXPECT_EQ(noise.port, 0);  // Connect refuses it
  for (const HostEntry& entry : noise.hosts) EXPECT_TRUE(entry.port >= 0 && entry.port <= 65535);

  // Texts that would carry CR, LF or ESC into a request or a terminal read as empty.
  const SettingsRecord injected = LoadFixture("header_injection.bin");
  const HostEntry& host = injected.hosts[0];
  for (const auto* text : {&injected.userName, &injected.password, &host.userName, &host.password})
    EXPECT_EQ(FieldText(*text), u"");
  EXPECT_EQ(FieldText(injected.mountPoint), u"");
  EXPECT_EQ(FieldText(host.mountPoints[1]), u"");
  EXPECT_EQ(FieldText(injected.address), u"caster.example");
  EXPECT_EQ(injected.port, 2101);
  EXPECT_EQ(FieldText(host.mountPoints[0]), u"OK");
}

}  // namespace
}  // namespace quillon
