#include "common/utf8.h"

namespace quillon {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::size_t DecodeUtf8(std::string_view bytes, char32_t& point) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
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
  if (bytes.size() < length) return 0;
  const auto second = static_cast<unsigned char>(bytes[1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (!IsContinuation(byte)) return 0;
    point = (point << 6) | (byte & 0x3F);
  }
  return length;
}

char32_t NextCharacter(std::u16string_view text, std::size_t& at) {
  const char16_t unit = text[at++];
  if (IsHighSurrogate(unit) && at < text.size() && IsLowSurrogate(text[at])) {
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[at++] - 0xDC00);
  }
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) ? U'?' : unit;
}

std::size_t Utf8Length(char32_t point) {
  if (point < 0x80) return 1;
  if (point < 0x800) return 2;
  return point < 0x10000 ? 3 : 4;
}

void AppendUtf8(char32_t point, std::string& out) {
  const std::size_t length = Utf8Length(point);
  if (length == 1) {
    out.push_back(static_cast<char>(point));
    return;
  }
  // The lead byte carries the length as that many high bits; each continuation six bits.
  constexpr unsigned char kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
  out.push_back(static_cast<char>(kLeads[length] | (point >> (6 * (length - 1)))));
  for (std::size_t i = length - 1; i > 0; --i) {
    out.push_back(static_cast<char>(0x80 | ((point >> (6 * (i - 1))) & 0x3F)));
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) AppendUtf8(NextCharacter(text, at), out);
  return out;
}

std::u16string FromUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  ForEachUtf8(bytes, [&out](char32_t point, std::string_view) {
    if (point == kNoCharacter) {
      out.push_back(u'?');
    } else if (point >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(point));
    }
  });
  return out;
}

std::size_t Utf8Size(std::u16string_view text) {
  std::size_t size = 0;
  for (std::size_t at = 0; at < text.size();) size += Utf8Length(NextCharacter(text, at));
  return size;
}

std::u16string_view CutToUtf8Size(std::u16string_view text, std::size_t maxBytes) {
  std::size_t size = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t next = at;
    size += Utf8Length(NextCharacter(text, next));
    if (size > maxBytes) break;
    at = next;
  }
  return text.substr(0, at);
}

bool IsValidUtf8(std::string_view bytes) {
  bool valid = true;
  ForEachUtf8(bytes, [&valid](char32_t point, std::string_view) {
    valid = valid && point != kNoCharacter;
  });
  return valid;
}

}  // namespace quillon
