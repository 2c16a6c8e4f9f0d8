// Base64 text for the Basic authorization header: the RFC 4648 alphabet with "=" padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

enum class Base64Lines {
  kBreakEvery76,  // CR LF after each group that brings a line to 76 characters
  kSingleLine,    // no line breaks at all (for header values)
};

// Bytes that always hold an encoding of `length` input bytes, its line breaks and a terminator:
// q + 2 * (q / 76) + 10 with q = 4 * length / 3, all divisions truncating.
constexpr std::size_t Base64BufferSize(std::size_t length) {
  const std::size_t q = 4 * length / 3;
  return q + 2 * (q / 76) + 10;
}

// Encodes `length` bytes at `data`, each as an unsigned octet (`data` may be null when `length`
// is 0). With kBreakEvery76 a CR LF follows every full group that ends a 76-character line, the
// last one included; the padded remainder of one or two bytes is never followed by a break.
std::string Base64Encode(const std::uint8_t* data, std::size_t length,
                         Base64Lines lines = Base64Lines::kBreakEvery76);

}  // namespace quillon
