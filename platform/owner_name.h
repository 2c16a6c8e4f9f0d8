// The device owner's name, which the splash shows: on Linux the user's real name from the
// password database.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// The owner text holds at most this many UTF-16 units (what fits the handheld's owner record).
inline constexpr std::size_t kOwnerNameUnits = 220;

// The real name in a password-database comment field ("GECOS"): the text before the first
// comma, from UTF-8, cut to kOwnerNameUnits.
std::u16string RealNameFromGecos(std::string_view gecos);

// The real name of the user running the program; empty when the database has none.
std::u16string OwnerName();

}  // namespace quillon
