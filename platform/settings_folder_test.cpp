#include "platform/settings_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "common/directory.h"
#include "testing/temp_folder.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

unsigned Mode(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

class SettingsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
      unsetenv(name);
    }
    // The temporary folder of these tests, where the last fallback goes.
    fs::create_directory(temporary_);
    setenv("TMPDIR", temporary_.c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : kVariables) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }
  // A file where a folder would go, so that the folder cannot be had.
  fs::path Blocker() const {
    const auto blocker = root_ / "file";
    std::ofstream(blocker) << "x";
    return blocker;
  }

  static constexpr const char* kVariables[] = {"QUILLON_SETTINGS_DIR", "XDG_CONFIG_HOME",
                                               "XDG_RUNTIME_DIR", "TMPDIR", "HOME"};
  std::vector<std::pair<std::string, std::string>> saved_;
  testing::TempFolder temp_;
  const fs::path& root_ = temp_.Path();
  const fs::path temporary_ = root_ / "tmp";
  std::string problem_;
};

TEST_F(SettingsFolderTest, EachPlaceIsMadePrivateAndTheOverrideWins) {
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  EXPECT_EQ(FindSettingsFolder(problem_), root_ / "quillon");
  EXPECT_EQ(Mode(root_ / "quillon"), 0700u);

  setenv("XDG_CONFIG_HOME", Blocker().c_str(), 1);
  setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
  EXPECT_EQ(FindSettingsFolder(problem_), root_ / "quillon");

  unsetenv("XDG_RUNTIME_DIR");
  const auto shared = temporary_ / ("quillon-" + std::to_string(geteuid()));
  EXPECT_EQ(FindSettingsFolder(problem_), shared);
  EXPECT_EQ(Mode(shared), 0700u);

  setenv("QUILLON_SETTINGS_DIR", (root_ / "a" / "b").c_str(), 1);
  EXPECT_EQ(FindSettingsFolder(problem_), root_ / "a" / "b");
  EXPECT_EQ(Mode(root_ / "a" / "b"), 0700u);
}

// Another user could plant a settings file in a folder they can write, or in one of theirs:
// such folders are never used, and without a private one nothing is saved.
TEST_F(SettingsFolderTest, FoldersOthersCanWriteAreNeverUsed) {
  setenv("XDG_CONFIG_HOME", Blocker().c_str(), 1);
  const auto shared = temporary_ / ("quillon-" + std::to_string(geteuid()));
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  EXPECT_EQ(FindSettingsFolder(problem_), fs::path());
  EXPECT_NE(problem_.find(shared.string() + " can be written by other users"), std::string::npos)
      << problem_;
  EXPECT_EQ(Mode(shared), 0777u);  // not touched

  // A link in the shared folder, even to a private folder of this user's, could be turned
  // elsewhere later.
  fs::remove(shared);
  fs::create_directory(root_ / "mine");
  ASSERT_EQ(chmod((root_ / "mine").c_str(), 0700), 0);
  fs::create_directory_symlink(root_ / "mine", shared);
  EXPECT_EQ(FindSettingsFolder(problem_), fs::path());

  setenv("QUILLON_SETTINGS_DIR", temporary_.c_str(), 1);
  ASSERT_EQ(chmod(temporary_.c_str(), 0770), 0);
  EXPECT_EQ(FindSettingsFolder(problem_), fs::path());
  EXPECT_FALSE(IsPrivateFolder(temporary_));

  if (chown((root_ / "mine").c_str(), 65534, 65534) != 0) {
    GTEST_SKIP() << "giving a folder away takes root";
  }
  EXPECT_FALSE(MakePrivateFolder(root_ / "mine", problem_));
  EXPECT_NE(problem_.find("belongs to another user"), std::string::npos) << problem_;
}

TEST(IsExistingDirectory, NeedsANonEmptyPathToAnExistingDirectory) {
  EXPECT_FALSE(IsExistingDirectory(u""));
  EXPECT_TRUE(IsExistingDirectory(u"/tmp"));
  EXPECT_FALSE(IsExistingDirectory(u"/proc/self/status"));
  EXPECT_FALSE(IsExistingDirectory(u"/no/such/folder"));
}

}  // namespace
}  // namespace quillon
