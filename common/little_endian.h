// Reading and writing little-endian integers at fixed offsets of a byte image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon {

// The value of `width` bytes (at most 8) at `offset`, least significant first. The caller
// keeps offset + width inside the image.
inline std::uint64_t GetLittleEndian(std::span<const std::uint8_t> image, std::size_t offset,
                                     std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i > 0; --i) value = (value << 8) | image[offset + i - 1];
  return value;
}

// Writes the low `width` bytes (at most 8) of `value` at `offset`, least significant first.
inline void PutLittleEndian(std::span<std::uint8_t> image, std::size_t offset, std::size_t width,
                            std::uint64_t value) {
  for (std::size_t i = 0; i < width; ++i) {
    image[offset + i] = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

inline std::uint16_t GetUInt16(std::span<const std::uint8_t> image, std::size_t offset) {
  return static_cast<std::uint16_t>(image[offset] | image[offset + 1] << 8);
}

inline void PutUInt16(std::span<std::uint8_t> image, std::size_t offset, std::uint16_t value) {
  image[offset] = static_cast<std::uint8_t>(value & 0xFF);
  image[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline std::int32_t GetInt32(std::span<const std::uint8_t> image, std::size_t offset) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(GetLittleEndian(image, offset, 4)));
}

inline void PutInt32(std::span<std::uint8_t> image, std::size_t offset, std::int32_t value) {
  PutLittleEndian(image, offset, 4, static_cast<std::uint32_t>(value));
}

}  // namespace quillon
