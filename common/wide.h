// Small helpers for UTF-16 text held in fixed-width fields.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/printable_text.h"

namespace quillon {

// The longest prefix of `text` with at most `maxUnits` units that does not end inside a
// surrogate pair.
inline std::u16string_view CutToUnits(std::u16string_view text, std::size_t maxUnits) {
  if (text.size() <= maxUnits) return text;
  std::size_t length = maxUnits;
  if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) --length;
  return text.substr(0, length);
}

// Whether `text` holds a control character (C0, DEL or C1).
inline bool HasControlCharacter(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char16_t unit) { return IsControlCharacter(unit); });
}

// A zero-terminated UTF-16 text inside a field of N units (terminator included).
template <std::size_t N>
using WideField = std::array<char16_t, N>;

// The field's text up to its terminator, or the whole field when it has none.
template <std::size_t N>
std::u16string_view FieldText(const WideField<N>& field) {
  const auto end = std::find(field.begin(), field.end(), u'\0');
  return std::u16string_view(field.data(), static_cast<std::size_t>(end - field.begin()));
}

// Puts `text` into the field, cut to N - 1 units, and zeroes the rest: nothing of the text it
// held before (an old, longer password) stays behind the terminator to be saved.
template <std::size_t N>
void SetFieldText(WideField<N>& field, std::u16string_view text) {
  const auto cut = CutToUnits(text.substr(0, std::min(text.find(u'\0'), text.size())), N - 1);
  std::fill(std::copy(cut.begin(), cut.end(), field.begin()), field.end(), u'\0');
}

}  // namespace quillon
