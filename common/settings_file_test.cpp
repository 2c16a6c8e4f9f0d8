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

TEST_F(SettingsFileTest, OnlyAWholePrivateFileIsWrittenAndOnlyTheUsersOwnIsRead) {
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
  // A write that fails part-way (here: at the file-size limit) must not cost the old settings.
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
  // A file another user put there is not read: its host list could send the password away.
  if (::chown(file_.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "giving a file away takes root";
  EXPECT_FALSE(ReadSettingsBytes(file_).has_value());
}

}  // namespace
}  // namespace quillon
