// UTF-8, the one encoding of the program's 8-bit text: on the wire, to the receiver, in file
// names and in the settings file's extension, whatever the process's locale (a service runs in
// the C locale, and the caster must get the same bytes as from a desktop session).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// The length of the valid UTF-8 sequence at the start of `bytes` (not empty) and its code point
// in `point`; 0 when the first byte does not start one (a stray continuation, an overlong form,
// a surrogate, a code point beyond U+10FFFF, a cut sequence).
std::size_t DecodeUtf8(std::string_view bytes, char32_t& point);

// What ForEachUtf8 gives for a byte that belongs to no valid sequence.
inline constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// Calls visit(point, sequence) for each character of `bytes` in order, with its code point and
// its bytes; a byte that belongs to no valid sequence comes alone, with kNoCharacter.
template <class Visit>
void ForEachUtf8(std::string_view bytes, Visit&& visit) {
  while (!bytes.empty()) {
    char32_t point = 0;
    const std::size_t length = DecodeUtf8(bytes, point);
    visit(length == 0 ? kNoCharacter : point, bytes.substr(0, length == 0 ? 1 : length));
    bytes.remove_prefix(length == 0 ? 1 : length);
  }
}

// The character at `at` in `text` (a surrogate pair is one), moving `at` past it. A lone
// surrogate reads as '?'.
char32_t NextCharacter(std::u16string_view text, std::size_t& at);

// The bytes the UTF-8 form of `point` takes: 1 to 4.
std::size_t Utf8Length(char32_t point);

// Appends the UTF-8 form of `point`.
void AppendUtf8(char32_t point, std::string& out);

// `text` as UTF-8, a lone surrogate as '?'.
std::string ToUtf8(std::u16string_view text);

// `bytes` as UTF-16; each byte that does not belong to a valid sequence becomes '?'.
std::u16string FromUtf8(std::string_view bytes);

// The bytes ToUtf8(text) takes.
std::size_t Utf8Size(std::u16string_view text);

// The longest prefix of `text` whose UTF-8 form takes at most `maxBytes`, never ending inside a
// surrogate pair.
std::u16string_view CutToUtf8Size(std::u16string_view text, std::size_t maxBytes);

// Whether every byte of `bytes` belongs to a valid UTF-8 sequence.
bool IsValidUtf8(std::string_view bytes);

}  // namespace quillon
