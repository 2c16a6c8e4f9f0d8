#include "common/printable_text.h"

#include <cstdint>

namespace quillon {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at the start of `text` and its code point; 0 when the
// first byte does not start one (a stray continuation, an overlong form, a surrogate, a code
// point beyond U+10FFFF, a cut sequence).
std::size_t DecodeOne(std::string_view text, std::uint32_t& point) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) {
    point = lead;
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;   // the range of the second byte, narrowed for the lead bytes that
  unsigned char high = 0xBF;  // would otherwise allow overlong forms or surrogates
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  const auto second = static_cast<unsigned char>(text[1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!IsContinuation(byte)) return 0;
    point = (point << 6) | (byte & 0x3F);
  }
  return length;
}

}  // namespace

std::string PrintableText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    std::uint32_t point = 0;
    const std::size_t length = DecodeOne(bytes, point);
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
