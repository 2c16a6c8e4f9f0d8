// Text that came from the network, made safe to show: a caster can put any bytes into its
// replies and source table, and escape sequences among them would drive the user's terminal.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// `bytes` with every control character (C0, DEL and C1, also when UTF-8 encodes them) and every
// byte that is not part of a valid UTF-8 sequence replaced by '?'; all other characters stay.
std::string PrintableText(std::string_view bytes);

}  // namespace quillon
