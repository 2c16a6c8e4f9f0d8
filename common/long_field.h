// A text of the settings record that may be longer than its field in the 2824-byte image: an
// e-mail user name, a token password, a DNS name, a /dev/serial/by-id path.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/utf8.h"
#include "common/wide.h"

namespace quillon {

// The image's field, unit for unit (also behind its terminator while the text is not set anew,
// so that a file from the handheld is written back unchanged), and the whole text when the field
// cannot hold it, which the settings file keeps in its extension. When `whole` is set, the field
// holds its start. MaxBytes: the most the whole text may take as UTF-8.
template <std::size_t N, std::size_t MaxBytes>
struct LongField {
  WideField<N> fixed{};
  std::u16string whole;  // empty when the text fits `fixed`

  bool operator==(const LongField&) const = default;
};

// The whole text.
template <std::size_t N, std::size_t MaxBytes>
std::u16string_view FieldText(const LongField<N, MaxBytes>& field) {
  return field.whole.empty() ? FieldText(field.fixed) : std::u16string_view(field.whole);
}

// Puts `text` (up to a NUL, cut to MaxBytes of UTF-8 without splitting a character) into the
// field: the image's field as SetFieldText fills it, and the whole text when that is cut.
// The front ends refuse a text that is too long before it gets here.
template <std::size_t N, std::size_t MaxBytes>
void SetFieldText(LongField<N, MaxBytes>& field, std::u16string_view text) {
  text = CutToUtf8Size(text.substr(0, std::min(text.find(u'\0'), text.size())), MaxBytes);
  std::u16string whole(text.size() > N - 1 ? text : std::u16string_view());
  SetFieldText(field.fixed, text);
  field.whole = std::move(whole);
}

}  // namespace quillon
