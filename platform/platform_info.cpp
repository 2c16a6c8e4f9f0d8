#include "platform/platform_info.h"

namespace quillon {
namespace {

constexpr std::size_t kTypeTextUnits = 255;

}  // namespace

std::u16string PlatformTypeText() { return u"PocketPC"; }

bool IsPocketPCType(std::u16string_view typeText) {
  return typeText.substr(0, kTypeTextUnits).find(u"PocketPC") != std::u16string_view::npos;
}

}  // namespace quillon
