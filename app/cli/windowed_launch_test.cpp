#include "app/cli/windowed_launch.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testing/temp_folder.h"

namespace quillon::cli {
namespace {

namespace fs = std::filesystem;

TEST(FindWindowedProgram, PrefersItsOwnFolderThenTheFirstExecutableInAbsolutePathFolders) {
  const quillon::testing::TempFolder folder;
  const fs::path own = folder.Path() / "own";
  const fs::path plain = folder.Path() / "plain";  // holds a file that is not executable
  const fs::path dir = folder.Path() / "dir";      // holds a folder of that name
  const fs::path first = folder.Path() / "first";  // the first real one in PATH
  const fs::path second = folder.Path() / "second";
  for (const fs::path& f : {own, plain, dir, first, second}) fs::create_directories(f);
  fs::create_directories(dir / kWindowedProgramName);
  for (const fs::path& f : {plain, first, second}) {
    std::ofstream(f / kWindowedProgramName) << "#!/bin/sh\n";
    fs::permissions(f / kWindowedProgramName,
                    f == plain ? fs::perms::owner_read : fs::perms::owner_all);
  }
  const std::string path = ":relative/first::" + plain.string() + ":" + dir.string() + ":" +
                           first.string() + ":" + second.string();
  EXPECT_EQ(FindWindowedProgram(own, path), first / kWindowedProgramName);
  EXPECT_EQ(FindWindowedProgram(own, ""), std::nullopt);
  EXPECT_EQ(FindWindowedProgram(own, plain.string() + ":" + dir.string()), std::nullopt);
  std::ofstream(own / kWindowedProgramName) << "#!/bin/sh\n";
  fs::permissions(own / kWindowedProgramName, fs::perms::owner_all);
  EXPECT_EQ(FindWindowedProgram(own, path), own / kWindowedProgramName);
}

}  // namespace
}  // namespace quillon::cli
