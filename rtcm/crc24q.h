// CRC-24Q, the checksum that closes every RTCM 3 frame: polynomial 0x1864CFB, initial value 0,
// bits taken most significant first, nothing reflected or inverted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

// The CRC-24Q of `bytes`, or of a longer message continued by `bytes` when `crc` is the CRC of
// what came before them.
std::uint32_t Crc24q(std::string_view bytes, std::uint32_t crc = 0);

// As Crc24q, also writing into before[i] the CRC of the message up to bytes[i]; `before` has
// room for bytes.size() values.
std::uint32_t Crc24qMarking(std::string_view bytes, std::uint32_t crc,
                            std::span<std::uint32_t> before);

// The longest segment Crc24qOfSegment takes: a whole RTCM 3 frame.
inline constexpr std::size_t kCrc24qMaxSegment = 1029;

// The CRC-24Q of the `length` bytes between two points of one message, from the CRC of the
// message up to the first point (`before`) and up to the second (`through`): constant work
// whatever the length, so a scanner can try many overlapping frames without hashing their bytes
// again. `length` is at most kCrc24qMaxSegment.
std::uint32_t Crc24qOfSegment(std::uint32_t before, std::uint32_t through, std::size_t length);

}  // namespace quillon
