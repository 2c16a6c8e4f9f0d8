#include "common/json_text.h"

#include "common/decimal_text.h"
#include "common/printable_text.h"

namespace quillon {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : PrintableText(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string JsonNumberOrNull(const std::optional<double>& value, int decimals) {
  return value ? DecimalText(*value, decimals) : "null";
}

}  // namespace quillon
