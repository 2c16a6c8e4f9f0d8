#include "platform/settings_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "common/directory.h"
#include "testing/temp_folder.h"

namespace quillon {
namespace {

class SettingsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("QUILLON_SETTINGS_DIR"); }
  void TearDown() override {
    unsetenv("QUILLON_SETTINGS_DIR");
    unsetenv("XDG_CONFIG_HOME");
  }
  testing::TempFolder temp_;
  const std::filesystem::path& root_ = temp_.Path();
};

TEST_F(SettingsFolderTest, XdgConfigHomeGetsAPrivateQuillonFolderAndTheOverrideWins) {
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  const auto folder = SettingsFolder();
  EXPECT_EQ(folder, root_ / "quillon");
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  setenv("QUILLON_SETTINGS_DIR", (root_ / "a" / "b").c_str(), 1);
  EXPECT_EQ(SettingsFolder(), root_ / "a" / "b");
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "a" / "b"));
}

TEST_F(SettingsFolderTest, FallsBackToTheTemporaryFolderWhenNoneCanBeMade) {
  const auto blocker = root_ / "file";
  std::ofstream(blocker) << "x";
  setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);  // a file where the folder would go
  EXPECT_EQ(SettingsFolder(), std::filesystem::temp_directory_path());
}

TEST(IsExistingDirectory, NeedsANonEmptyPathToAnExistingDirectory) {
  EXPECT_FALSE(IsExistingDirectory(u""));
  EXPECT_TRUE(IsExistingDirectory(u"/tmp"));
  EXPECT_FALSE(IsExistingDirectory(u"/proc/self/status"));
  EXPECT_FALSE(IsExistingDirectory(u"/no/such/folder"));
}

}  // namespace
}  // namespace quillon
