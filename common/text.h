// Conversions between the user-interface text (UTF-16) and the 8-bit text of the wire, the
// receiver and file names, into bounded buffers. The 8-bit text is UTF-8 whatever the locale
// (common/utf8.h), so the caster gets the same bytes under LC_ALL=C as on a desktop.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon {

// Units of the helper-owned buffers, terminator included.
inline constexpr std::size_t kConversionBufferSize = 1024;

// UTF-8 text (up to its first NUL) to UTF-16 in a buffer owned by this thread, valid until the
// next call on the same thread. At most 1023 units; a cut never splits a character. Each byte
// that does not belong to a valid UTF-8 sequence becomes '?'.
const char16_t* EightBitToWide(std::string_view text);

// UTF-16 text (up to its first NUL) to UTF-8 in a buffer owned by this thread, valid until the
// next call on the same thread. At most 1023 bytes; a cut never splits a multi-byte character
// or a surrogate pair. A lone surrogate becomes '?'.
const char* WideToEightBit(std::u16string_view text);

// As above, into the caller's buffer of `capacity` bytes (terminator included). Returns the
// number of bytes written before the terminator; 0 and nothing written when capacity is 0.
std::size_t WideToEightBit(std::u16string_view text, char* out, std::size_t capacity);

}  // namespace quillon
