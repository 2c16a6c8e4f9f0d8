// The baud rates the settings choose from by position.
#pragma once

#include <array>
#include <cstdint>

namespace quillon {

inline constexpr std::array<std::uint32_t, 7> kBaudRates{4800,  9600,  14400, 19200,
                                                         38400, 57600, 115200};
inline constexpr std::int32_t kDefaultBaudIndex = 1;  // 9600

// The rate at `index`; the default rate for a position outside the table.
constexpr std::uint32_t BaudRateForIndex(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(kBaudRates.size())) {
    return kBaudRates[kDefaultBaudIndex];
  }
  return kBaudRates[static_cast<std::size_t>(index)];
}

// The position of `rate` in the table, or -1.
constexpr std::int32_t BaudIndexForRate(std::uint32_t rate) {
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    if (kBaudRates[i] == rate) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace quillon
