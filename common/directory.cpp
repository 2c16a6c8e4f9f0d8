#include "common/directory.h"

#include <sys/stat.h>

#include "common/text.h"

namespace quillon {

bool IsExistingDirectory(std::u16string_view path) {
  if (path.empty()) return false;
  struct stat info {};
  if (stat(WideToEightBit(path), &info) != 0) return false;
  return S_ISDIR(info.st_mode);
}

}  // namespace quillon
