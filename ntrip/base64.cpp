#include "ntrip/base64.h"

#include <span>
#include <string_view>

namespace quillon {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 76;

char Sextet(std::uint32_t group, int shift) { return kAlphabet[(group >> shift) & 0x3F]; }

}  // namespace

std::string Base64Encode(const std::uint8_t* data, std::size_t length, Base64Lines lines) {
  const std::span<const std::uint8_t> bytes(data, length);
  std::string text;
  text.reserve(Base64BufferSize(length));

  const std::size_t fullGroups = bytes.size() / 3;
  std::size_t onLine = 0;
  for (std::size_t g = 0; g < fullGroups; ++g) {
    const auto group = bytes.subspan(3 * g, 3);
    const std::uint32_t value =
        (std::uint32_t{group[0]} << 16) | (std::uint32_t{group[1]} << 8) | std::uint32_t{group[2]};
    text += Sextet(value, 18);
    text += Sextet(value, 12);
    text += Sextet(value, 6);
    text += Sextet(value, 0);
    onLine += 4;
    if (onLine == kLineLength) {
      if (lines == Base64Lines::kBreakEvery76) text += "\r\n";
      onLine = 0;
    }
  }

  const auto rest = bytes.subspan(3 * fullGroups);
  if (rest.size() == 1) {
    const std::uint32_t value = std::uint32_t{rest[0]} << 16;
    text += Sextet(value, 18);
    text += Sextet(value, 12);
    text += "==";
  } else if (rest.size() == 2) {
    const std::uint32_t value = (std::uint32_t{rest[0]} << 16) | (std::uint32_t{rest[1]} << 8);
    text += Sextet(value, 18);
    text += Sextet(value, 12);
    text += Sextet(value, 6);
    text += '=';
  }
  return text;
}

}  // namespace quillon
