#include "platform/owner_name.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "common/text.h"
#include "common/wide.h"

namespace quillon {

std::u16string RealNameFromGecos(std::string_view gecos) {
  const std::string_view name = gecos.substr(0, gecos.find(','));
  return std::u16string(CutToUnits(EightBitToWide(name), kOwnerNameUnits));
}

std::u16string OwnerName() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_gecos == nullptr) {
    return {};
  }
  return RealNameFromGecos(found->pw_gecos);
}

}  // namespace quillon
