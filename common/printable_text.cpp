#include "common/printable_text.h"

#include "common/utf8.h"

namespace quillon {

std::string PrintableText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  ForEachUtf8(bytes, [&out](char32_t point, std::string_view sequence) {
    if (point == kNoCharacter || IsControlCharacter(point)) {
      out.push_back('?');
    } else {
      out.append(sequence);
    }
  });
  return out;
}

}  // namespace quillon
