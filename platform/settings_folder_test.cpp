#include "platform/settings_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

unsigned Mode(const fs::path& path) {
  return static_cast<unsigned>(fs::status(path).permissions());
}

constexpr const char* kVariables[] = {"QUILLON_SETTINGS_DIR", "XDG_RUNTIME_DIR", "TMPDIR",
                                      "XDG_CONFIG_HOME"};

// Each test sets the variables it needs; the temporary folder is one of the test's own.
class SettingsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    fs::create_directory(temporary_);
    setenv("TMPDIR", temporary_.c_str(), 1);
    std::ofstream(root_ / "file") << "x";
    setenv("XDG_CONFIG_HOME", (root_ / "file").c_str(), 1);  // a file where the folder would go
  }
  void TearDown() override {
    for (const char* name : kVariables) unsetenv(name);
  }

  testing::TempFolder temp_;
  const fs::path& root_ = temp_.Path();
  const fs::path temporary_ = root_ / "tmp";
  const fs::path shared_ = temporary_ / ("quillon-" + std::to_string(geteuid()));
  std::string problem_;
};

TEST_F(SettingsFolderTest, EachPlaceIsMadePrivateInTurnAndTheOverrideWins) {
  EXPECT_EQ(FindSettingsFolder(problem_), shared_);
  EXPECT_EQ(Mode(shared_), 0700u);
  setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
  EXPECT_EQ(FindSettingsFolder(problem_), root_ / "quillon");
  setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  EXPECT_EQ(FindSettingsFolder(problem_), root_ / "config" / "quillon");
  EXPECT_EQ(Mode(root_ / "config" / "quillon"), 0700u);
  setenv("QUILLON_SETTINGS_DIR", (root_ / "a" / "b").c_str(), 1);
  EXPECT_EQ(FindSettingsFolder(problem_), root_ / "a" / "b");
  EXPECT_EQ(Mode(root_ / "a" / "b"), 0700u);
}

// A folder that is there already is left as it is.
TEST_F(SettingsFolderTest, FoldersMadeOnTheWayAre0700WhateverTheUmask) {
  for (const mode_t mask : {0277, 0022, 0}) {
    const fs::path top = root_ / ("mask" + std::to_string(mask));
    const mode_t before = umask(mask);
    const bool made = MakePrivateFolder(top / "a" / "b", problem_);
    umask(before);
    EXPECT_TRUE(made) << problem_;
    for (const fs::path& folder : {top, top / "a", top / "a" / "b"}) {
      EXPECT_EQ(Mode(folder), 0700u) << folder << " umask " << mask;
    }
  }
  ASSERT_EQ(chmod(root_.c_str(), 0751), 0);
  EXPECT_TRUE(MakePrivateFolder(root_ / "x", problem_));
  EXPECT_EQ(Mode(root_), 0751u);
}

// Another user could plant a settings file in a folder they can write, or in one of theirs.
TEST_F(SettingsFolderTest, FoldersOthersCanWriteAreNeverUsed) {
  fs::create_directory(shared_);
  ASSERT_EQ(chmod(shared_.c_str(), 01777), 0);
  EXPECT_EQ(FindSettingsFolder(problem_), fs::path());
  EXPECT_NE(problem_.find(shared_.string() + " can be written by other users"), std::string::npos)
      << problem_;
  EXPECT_EQ(Mode(shared_), 01777u);

  // A link there, even to a private folder of this user's, could be turned elsewhere later.
  fs::remove(shared_);
  fs::create_directory(root_ / "mine");
  ASSERT_EQ(chmod((root_ / "mine").c_str(), 0700), 0);
  fs::create_directory_symlink(root_ / "mine", shared_);
  EXPECT_EQ(FindSettingsFolder(problem_), fs::path());

  setenv("QUILLON_SETTINGS_DIR", temporary_.c_str(), 1);
  ASSERT_EQ(chmod(temporary_.c_str(), 0770), 0);
  EXPECT_EQ(FindSettingsFolder(problem_), fs::path());

  if (chown((root_ / "mine").c_str(), 65534, 65534) != 0) GTEST_SKIP() << "chown takes root";
  EXPECT_FALSE(MakePrivateFolder(root_ / "mine", problem_));
  EXPECT_EQ(problem_, (root_ / "mine").string() + " belongs to another user");
}

}  // namespace
}  // namespace quillon
