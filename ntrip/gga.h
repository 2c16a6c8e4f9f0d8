// Rewriting the position of the receiver's $GPGGA sentence before it goes upstream, so that the
// caster sees the fixed position the user entered. The receiver itself is never sent anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

// The worker's upstream buffer: at most 1023 bytes of receiver output and a terminator.
inline constexpr std::size_t kUpstreamBufferSize = 1024;

inline constexpr std::size_t kGgaWorkCopySize = 2048;
inline constexpr std::size_t kGgaMaxFieldStarts = 255;
inline constexpr std::size_t kGgaFieldCount = 15;
inline constexpr std::size_t kGgaFieldSlotSize = 64;  // 63 bytes and a terminator
inline constexpr std::size_t kGgaMaxSentenceLength = 255;

// Offsets of field starts inside the text that SplitGgaFields split.
using GgaFieldTable = std::array<std::size_t, kGgaMaxFieldStarts>;

// Splits the text in `text` (up to its first NUL, or the span's end) from its first "$GPGGA"
// on: every comma behind it becomes a NUL and the offset of each field start is recorded, the
// first 255 of them. Returns the number of fields found, which may exceed 255; 0 (and nothing
// changed) when the text has no "$GPGGA". Later sentences are split too.
std::size_t SplitGgaFields(GgaFieldTable& fields, std::span<char> text);

struct DegreeParts {
  int degrees = 0;
  int minutes = 0;
  int seconds = 0;
  double exactSeconds = 0.0;
};

// Whole degrees, whole minutes and seconds of `angle` (degrees), each step truncating. An angle
// that is negative, not finite or above 180 gives all parts 0.
DegreeParts SplitDegrees(double angle);

// The GGA text of a coordinate's magnitude in degrees: degrees without leading zeros, two digits
// of minutes, "." and five digits of the minutes' fraction ("3530.00000" for 35.5). The fraction
// is rounded to the nearest 0.00001 minute (carrying into minutes and degrees), so decimal
// entries such as 35.1 come out exact rather than one unit low.
std::string GgaCoordinateText(double magnitude);

// The NMEA 0183 checksum: XOR of the bytes from the "G" of the first "GPGGA" up to the first
// "*" behind it. 0 when there is no "GPGGA" or no "*" behind it.
std::uint8_t GgaChecksum(std::string_view sentence);

// When the first `length` bytes of `buffer` (at most 1023 are used) hold, from the first
// "$GPGGA" to their end or first NUL, exactly the 15 fields of one GGA sentence, each at most
// 63 bytes, the last with its "*": replaces the buffer's start by that sentence with the given
// position (N/E for 0 and above, S/W below), a fresh checksum as "%02x\r\n" and a terminator,
// and returns 1. Anything before "$GPGGA" is dropped. Otherwise, and when the rebuilt sentence
// would exceed 255 bytes or the position is not on the globe (|latitude| <= 90,
// |longitude| <= 180, both finite), leaves the buffer unchanged and returns 0.
int OverrideGgaPosition(std::span<char, kUpstreamBufferSize> buffer, std::size_t length,
                        double latitude, double longitude);

}  // namespace quillon
