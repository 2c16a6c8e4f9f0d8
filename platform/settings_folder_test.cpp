#include "platform/settings_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "common/directory.h"

namespace quillon {
namespace {

class SettingsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("quillon-folder-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    unsetenv("QUILLON_SETTINGS_DIR");
  }
  void TearDown() override {
    unsetenv("QUILLON_SETTINGS_DIR");
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(root_);
  }
  std::filesystem::path root_;
};

TEST_F(SettingsFolderTest, XdgConfigHomeGetsAQuillonFolderCreatedPrivate) {
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  const auto folder = SettingsFolder();
  EXPECT_EQ(folder, root_ / "quillon");
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SettingsFolderTest, OverrideWinsAndIsCreated) {
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  setenv("QUILLON_SETTINGS_DIR", (root_ / "a" / "b").c_str(), 1);
  EXPECT_EQ(SettingsFolder(), root_ / "a" / "b");
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "a" / "b"));
}

TEST_F(SettingsFolderTest, FallsBackToTheTemporaryFolderWhenNoneCanBeMade) {
  const auto blocker = root_ / "file";
  std::FILE* f = std::fopen(blocker.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
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
