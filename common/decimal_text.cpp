#include "common/decimal_text.h"

#include <array>
#include <charconv>

namespace quillon {

std::string DecimalText(double value, int decimals) {
  std::array<char, 400> text{};  // room for the largest double written in full
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::fixed, decimals);
  return std::string(text.data(), result.ptr);
}

}  // namespace quillon
