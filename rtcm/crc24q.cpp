#include "rtcm/crc24q.h"

#include <array>

namespace quillon {
namespace {

constexpr std::uint32_t kPolynomial = 0x864CFB;  // 0x1864CFB without its x^24 term
constexpr std::uint32_t kMask = 0xFFFFFF;

// `value` times x modulo the polynomial.
constexpr std::uint32_t TimesX(std::uint32_t value) {
  value <<= 1;
  if (value & 0x1000000) value ^= kPolynomial;
  return value & kMask;
}

// The register after one byte has been shifted through it from zero, for each byte value.
constexpr std::array<std::uint32_t, 256> kByteTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t crc = byte << 16;
    for (int bit = 0; bit < 8; ++bit) crc = TimesX(crc);
    table[byte] = crc;
  }
  return table;
}();

// x^(8n) modulo the polynomial, for n up to a frame: shifting a CRC past n more bytes.
constexpr std::array<std::uint32_t, kCrc24qMaxSegment + 1> kByteShift = [] {
  std::array<std::uint32_t, kCrc24qMaxSegment + 1> table{};
  std::uint32_t power = 1;
  for (auto& entry : table) {
    entry = power;
    for (int bit = 0; bit < 8; ++bit) power = TimesX(power);
  }
  return table;
}();

// The register after `byte` has been shifted into it.
std::uint32_t Step(std::uint32_t crc, unsigned char byte) {
  return ((crc << 8) & kMask) ^ kByteTable[((crc >> 16) ^ byte) & 0xFF];
}

// a times b modulo the polynomial. This is the whole cost of trying a frame, so the product is
// formed without branches and reduced once at the end, as a CRC reduces a message.
std::uint32_t Multiply(std::uint32_t a, std::uint32_t b) {
  std::uint64_t product = 0;  // below x^47
  for (unsigned bit = 0; bit < 24; ++bit) {
    const std::uint64_t take = 0 - static_cast<std::uint64_t>((a >> bit) & 1);
    product ^= (std::uint64_t{b} << bit) & take;
  }
  // The part from x^24 up, times x^24 modulo the polynomial, is the CRC of its three bytes.
  std::uint32_t high = 0;
  for (const int shift : {40, 32, 24}) {
    high = Step(high, static_cast<unsigned char>(product >> shift));
  }
  return high ^ static_cast<std::uint32_t>(product & kMask);
}

}  // namespace

std::uint32_t Crc24q(std::string_view bytes, std::uint32_t crc) {
  for (const char c : bytes) crc = Step(crc, static_cast<unsigned char>(c));
  return crc;
}

std::uint32_t Crc24qMarking(std::string_view bytes, std::uint32_t crc,
                            std::span<std::uint32_t> before) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    before[i] = crc;
    crc = Step(crc, static_cast<unsigned char>(bytes[i]));
  }
  return crc;
}

// The CRC is the message as a polynomial times x^24 modulo the polynomial, so it is linear:
// CRC(A B) = CRC(A) x^(8|B|) + CRC(B), which gives CRC(B) from the other two.
std::uint32_t Crc24qOfSegment(std::uint32_t before, std::uint32_t through, std::size_t length) {
  return through ^ Multiply(before, kByteShift[length]);
}

}  // namespace quillon
