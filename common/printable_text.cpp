#include "common/printable_text.h"

#include "common/utf8.h"

namespace quillon {

std::string PrintableText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    char32_t point = 0;
    const std::size_t length = DecodeUtf8(bytes, point);
    if (length == 0 || IsControlCharacter(point)) {
      out.push_back('?');
      bytes.remove_prefix(length == 0 ? 1 : length);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace quillon
