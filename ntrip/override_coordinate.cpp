#include "ntrip/override_coordinate.h"

#include <charconv>
#include <cmath>

#include "common/decimal_text.h"

namespace quillon {

std::string CoordinateText(double degrees) { return DecimalText(degrees, 6); }

double CoordinateValue(std::u16string_view text) {
  // Only ASCII can be part of a number; anything else ends it.
  std::string ascii;
  for (const char16_t unit : text) {
    if (unit == 0 || unit > 0x7F) break;
    ascii.push_back(static_cast<char>(unit));
  }
  std::size_t at = ascii.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string::npos) return 0.0;
  if (ascii[at] == '+') {
    ++at;
    if (at < ascii.size() && ascii[at] == '-') return 0.0;
  }
  double value = 0.0;
  const auto result = std::from_chars(ascii.data() + at, ascii.data() + ascii.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

}  // namespace quillon
