#include "common/ca_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/caster_protocol.h"
#include "common/utf8.h"
#include "common/wide.h"

namespace quillon {

std::string CaFileProblem(std::string_view value, std::string& absolute) {
  if (value.empty() || !IsValidUtf8(value) || HasControlCharacter(FromUtf8(value))) {
    return "a file name in UTF-8 without control characters";
  }
  std::error_code problem;
  const std::string path =
      std::filesystem::absolute(std::filesystem::path(value), problem).lexically_normal().string();
  if (problem || path.size() > kMaxCaFileBytes) {
    return "the path takes at most " + std::to_string(kMaxCaFileBytes) + " bytes";
  }
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || ::access(path.c_str(), R_OK) != 0) {
    return "cannot read " + path + " (" + std::strerror(errno) + ")";
  }
  if (!S_ISREG(status.st_mode)) return path + " is no regular file";
  absolute = path;
  return {};
}

}  // namespace quillon
