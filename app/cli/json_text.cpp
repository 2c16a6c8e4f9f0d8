#include "app/cli/json_text.h"

#include "common/printable_text.h"

namespace quillon::cli {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : PrintableText(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace quillon::cli
