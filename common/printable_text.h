// Text that came from the network, made safe to show: a caster can put any bytes into its
// replies and source table, and escape sequences among them would drive the user's terminal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// C0, DEL and C1: none belongs in a name, a password or a mount point (CR or LF would end a
// request header early) or on the user's terminal (ESC would drive it).
constexpr bool IsControlCharacter(std::uint32_t point) {
  return point < 0x20 || (point >= 0x7F && point <= 0x9F);
}

// `bytes` with every control character (C0, DEL and C1, also when UTF-8 encodes them) and every
// byte that is not part of a valid UTF-8 sequence replaced by '?'; all other characters stay.
std::string PrintableText(std::string_view bytes);

}  // namespace quillon
