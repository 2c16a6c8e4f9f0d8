// Rewriting the position of a receiver's GGA sentence before it goes upstream, so that the
// caster sees the fixed position the user entered. The receiver itself is never sent anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr std::size_t kGgaFieldCount = 15;
inline constexpr std::size_t kGgaFieldSlotSize = 64;  // 63 bytes and a terminator
inline constexpr std::size_t kGgaMaxSentenceLength = 255;

// Room for a rewritten sentence and a terminator.
using GgaSentence = std::array<char, kGgaMaxSentenceLength + 1>;

// Where the next GGA sentence of any talker ("$", two capital letters, "GGA,", such as
// "$GPGGA," or "$GNGGA,") begins in `text` at or after `from`; npos when none does.
std::size_t FindGgaStart(std::string_view text, std::size_t from = 0);

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

// The NMEA 0183 checksum of the first GGA sentence in `sentence`: XOR of the bytes behind its
// "$" up to the first "*" behind them. 0 when there is no GGA sentence or no "*" behind it.
std::uint8_t GgaChecksum(std::string_view sentence);

// One GGA sentence, from its "$" to its line end (or to where the next sentence begins), with
// the position replaced. When it has exactly the 15 fields of a GGA sentence, each at most 63
// bytes, the last with its "*", writes into `out` the sentence with the given position (N/E for
// 0 and above, S/W below), a fresh checksum as "%02x\r\n" and a terminator, and returns its
// length. Otherwise, and when the rebuilt sentence would exceed 255 bytes, the sentence holds a
// NUL byte or the position is not on the globe (|latitude| <= 90, |longitude| <= 180, both
// finite), returns 0.
std::size_t RewriteGgaSentence(std::string_view sentence, double latitude, double longitude,
                               GgaSentence& out);

}  // namespace quillon
