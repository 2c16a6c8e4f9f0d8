// Conversions between the user-interface text (UTF-16) and the 8-bit text of the wire, the
// receiver and file names (the locale's character set, UTF-8 on a normal system).
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon {

// Units of the helper-owned buffers, terminator included.
inline constexpr std::size_t kConversionBufferSize = 1024;

// 8-bit text (up to its first NUL) to UTF-16 in a buffer owned by this thread, valid until the
// next call on the same thread. At most 1023 units; a cut never splits a character. Bytes that
// are not valid in the locale's character set become '?'.
const char16_t* EightBitToWide(std::string_view text);

// UTF-16 text (up to its first NUL) to 8-bit text in a buffer owned by this thread, valid until
// the next call on the same thread. At most 1023 bytes; a cut never splits a multi-byte
// character or a surrogate pair. Characters the locale cannot represent become '?'.
const char* WideToEightBit(std::u16string_view text);

// As above, into the caller's buffer of `capacity` bytes (terminator included). Returns the
// number of bytes written before the terminator; 0 and nothing written when capacity is 0.
std::size_t WideToEightBit(std::u16string_view text, char* out, std::size_t capacity);

}  // namespace quillon
