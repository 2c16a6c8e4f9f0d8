#include "app/cli/windowed_launch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace quillon::cli {
namespace {

bool IsExecutableFile(const std::filesystem::path& file) {
  std::error_code error;
  return std::filesystem::is_regular_file(file, error) && access(file.c_str(), X_OK) == 0;
}

std::filesystem::path OwnFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::optional<std::filesystem::path> FindWindowedProgram(const std::filesystem::path& ownFolder,
                                                         std::string_view searchPath) {
  if (!ownFolder.empty() && IsExecutableFile(ownFolder / kWindowedProgramName)) {
    return ownFolder / kWindowedProgramName;
  }
  while (!searchPath.empty()) {
    const std::size_t end = std::min(searchPath.find(':'), searchPath.size());
    const std::filesystem::path folder(searchPath.substr(0, end));
    searchPath.remove_prefix(std::min(end + 1, searchPath.size()));
    if (folder.is_absolute() && IsExecutableFile(folder / kWindowedProgramName)) {
      return folder / kWindowedProgramName;
    }
  }
  return std::nullopt;
}

int StartWindowedProgram(char** argv) {
  const char* path = std::getenv("PATH");
  const auto program = FindWindowedProgram(OwnFolder(), path == nullptr ? "" : path);
  if (!program) {
    std::fprintf(stderr,
                 "quillon: the windowed program is not installed (install the quillon-gui "
                 "package); see quillon --help for the commands that work without it\n");
    return 2;
  }
  argv[0] = const_cast<char*>(program->c_str());
  execv(program->c_str(), argv);
  std::fprintf(stderr, "quillon: cannot start %s: %s\n", program->c_str(), std::strerror(errno));
  return 2;
}

}  // namespace quillon::cli
