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

#include "common/settings_record.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

const fs::path kTestData = QUILLON_SETTINGS_TESTDATA;

std::vector<std::uint8_t> FileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

unsigned ModeOf(const fs::path& file) {
  struct stat info {};
  EXPECT_EQ(::stat(file.c_str(), &info), 0);
  return info.st_mode & 07777;
}

SettingsImage PatternImage(std::uint8_t seed) {
  SettingsImage image;
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(seed + i);
  return image;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("quillon-settings-file-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "settings.bin";
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The names in the folder, to see that no temporary file is left behind.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder_)) {
      names.push_back(item.path().filename().string());
    }
    return names;
  }

  fs::path folder_;
  fs::path file_;
};

TEST_F(SettingsFileTest, NothingReadableGivesNothing) {
  EXPECT_FALSE(ReadSettingsImage(file_).has_value());
  EXPECT_FALSE(ReadSettingsImage(folder_).has_value());
  const fs::path fifo = folder_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadSettingsImage(fifo).has_value());  // and does not wait for a writer
}

TEST_F(SettingsFileTest, WrittenImageReadsBackWholeAndPrivate) {
  const SettingsImage image = PatternImage(7);
  ASSERT_TRUE(WriteSettingsImage(file_, image));
  EXPECT_EQ(ModeOf(file_), 0600u);
  EXPECT_EQ(FileBytes(file_), std::vector<std::uint8_t>(image.begin(), image.end()));
  EXPECT_EQ(ReadSettingsImage(file_), image);
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"settings.bin"});
}

TEST_F(SettingsFileTest, WritingReplacesALongerWorldReadableFile) {
  PutFile(file_, std::vector<std::uint8_t>(5000, 0xAB));
  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  const SettingsImage image = PatternImage(1);
  ASSERT_TRUE(WriteSettingsImage(file_, image));
  EXPECT_EQ(ModeOf(file_), 0600u);
  EXPECT_EQ(FileBytes(file_).size(), kSettingsImageSize);
}

TEST_F(SettingsFileTest, ShortAndLongFilesAreTakenAsFarAsTheyGo) {
  PutFile(file_, std::vector<std::uint8_t>(100, 0x41));
  auto image = ReadSettingsImage(file_);
  ASSERT_TRUE(image.has_value());
  for (std::size_t i = 0; i < image->size(); ++i) ASSERT_EQ((*image)[i], i < 100 ? 0x41 : 0) << i;

  std::vector<std::uint8_t> longer(kSettingsImageSize + 10, 0x42);
  longer[kSettingsImageSize - 1] = 0x43;
  PutFile(file_, longer);
  image = ReadSettingsImage(file_);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->back(), 0x43);

  PutFile(file_, {});
  EXPECT_EQ(ReadSettingsImage(file_), SettingsImage{});
}

TEST_F(SettingsFileTest, AFolderThatIsNotThereIsSkipped) {
  EXPECT_FALSE(WriteSettingsImage(folder_ / "missing" / "settings.bin", PatternImage(0)));
}

// A write that fails part-way (here: the file-size limit) must not cost the old settings.
TEST_F(SettingsFileTest, AFailedWriteKeepsTheOldFile) {
  const SettingsImage old = PatternImage(3);
  ASSERT_TRUE(WriteSettingsImage(file_, old));

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteSettingsImage(file_, PatternImage(9));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadSettingsImage(file_), old);
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"settings.bin"});
}

TEST_F(SettingsFileTest, AFailedRenameLeavesNoTemporaryFile) {
  fs::create_directories(file_ / "occupied");
  EXPECT_FALSE(WriteSettingsImage(file_, PatternImage(0)));
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"settings.bin"});
  EXPECT_TRUE(fs::is_directory(file_ / "occupied"));
}

// The corrupt files kept in testdata (made by testdata/make_settings_fixtures.py).
SettingsRecord LoadFixture(const char* name) {
  const auto image = ReadSettingsImage(kTestData / name);
  EXPECT_TRUE(image.has_value()) << name;
  SettingsRecord record;
  if (image) DecodeSharedSettings(*image, record);
  return record;
}

TEST(SettingsFixtureTest, ShortFileFillsOnlyTheBeginning) {
  const SettingsRecord record = LoadFixture("short.bin");
  EXPECT_EQ(FieldText(record.userName), u"alice");
  EXPECT_EQ(FieldText(record.password), u"s3cret");
  // 100 bytes end 16 units into the address.
  EXPECT_EQ(FieldText(record.address), u"caster.example.o");
  SettingsRecord rest = record;
  rest.userName = rest.password = {};
  rest.address = {};
  EXPECT_EQ(rest, SettingsRecord{});
}

TEST(SettingsFixtureTest, LongFileIgnoresWhatFollowsTheRecord) {
  const SettingsRecord record = LoadFixture("long.bin");
  EXPECT_EQ(FieldText(record.address), u"192.0.2.7");
  EXPECT_EQ(record.port, 2101);
  EXPECT_EQ(FieldText(record.comPortName), u"/dev/ttyUSB0:");
  EXPECT_EQ(record.hostCount, 2);
  EXPECT_EQ(record.selectedHost, 1);
  EXPECT_EQ(FieldText(record.hosts[1].mountPoints[1]), u"RTCM3");

  const auto whole = FileBytes(kTestData / "long.bin");
  ASSERT_GT(whole.size(), kSettingsImageSize);
  SettingsRecord cut;
  DecodeSharedSettings(std::span(whole).first(kSettingsImageSize), cut);
  EXPECT_EQ(record, cut);
}

TEST(SettingsFixtureTest, OutOfRangeFileLoadsClampedAndSafe) {
  SettingsRecord record = LoadFixture("out_of_range.bin");
  EXPECT_EQ(record.hostCount, 5);
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(record.hosts[0].mountPointCount, 10);
  EXPECT_EQ(record.hosts[0].selectedMountPoint, 0);
  EXPECT_EQ(record.hosts[1].mountPointCount, 0);
  EXPECT_EQ(record.hosts[1].selectedMountPoint, 0);
  EXPECT_EQ(record.hosts[2].mountPointCount, 10);
  EXPECT_EQ(record.hosts[2].selectedMountPoint, 0);
  EXPECT_EQ(record.hosts[3].mountPointCount, 2);
  EXPECT_EQ(record.hosts[3].selectedMountPoint, 1);
  EXPECT_EQ(FieldText(record.address), std::u16string(19, u'A'));
  EXPECT_EQ(FieldText(record.mountPoint), std::u16string(18, u'M'));
}

}  // namespace
}  // namespace quillon
