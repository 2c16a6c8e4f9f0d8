// What kind of device the program runs on, as the handheld's system-parameters query told it.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// The platform type text. This build supports the desktop it was built for, which stands in for
// the handheld platform, so it reports "PocketPC".
std::u16string PlatformTypeText();

// Whether `typeText` names a supported platform: it contains "PocketPC" within the first 255
// units (what the handheld's 510-byte query buffer held).
bool IsPocketPCType(std::u16string_view typeText);

}  // namespace quillon
