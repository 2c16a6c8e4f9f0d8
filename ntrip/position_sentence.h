// The NMEA 0183 sentences that carry the receiver's position (GGA, RMC, GLL and GNS of any
// talker): recognising them in the receiver's output and rewriting their position with the fixed
// one the user entered, before they go upstream; and the kinds known to carry none. The receiver
// itself is never sent anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/great_circle.h"
#include "ntrip/receiver_solution.h"

namespace quillon {

// A sentence with its line end is at most this long; anything longer is no sentence.
inline constexpr std::size_t kNmeaMaxSentenceLength = 255;
// A field is at most this long.
inline constexpr std::size_t kNmeaMaxFieldLength = 63;

// Room for a rewritten sentence and a terminator.
using NmeaSentence = std::array<char, kNmeaMaxSentenceLength + 1>;

// The NMEA 0183 checksum: XOR of the bytes behind the first "$" up to the first "*" behind it.
// 0 when there is no "$" or no "*" behind it.
std::uint8_t NmeaChecksum(std::string_view sentence);

struct DegreeParts {
  int degrees = 0;
  int minutes = 0;
  int seconds = 0;
  double exactSeconds = 0.0;
};

// Whole degrees, whole minutes and seconds of `angle` (degrees), each step truncating. An angle
// that is negative, not finite or above 180 gives all parts 0.
DegreeParts SplitDegrees(double angle);

// The NMEA text of a coordinate's magnitude in degrees: the degrees zero-padded to
// `degreeDigits` digits (2 for a latitude, 3 for a longitude), two digits of minutes, "." and
// five digits of the minutes' fraction ("0530.00000" for 5.5 with 2 digits, "13945.00000" for
// 139.75 with 3). The fraction is rounded to the nearest 0.00001 minute, carrying into minutes
// and degrees, so decimal entries such as 35.1 come out exact rather than one unit low.
std::string NmeaCoordinateText(double magnitude, int degreeDigits);

// `sentence` is one whole sentence: from its "$" to its line end ("\r\n", "\n", "\r" or none).
// When it is a well-formed sentence of a position kind, writes into `out` the same sentence with
// the latitude, longitude and their hemisphere letters replaced (N/E for 0 and above, S/W
// below), a fresh checksum in capitals and the sentence's own line end, with a terminator, and
// returns its length. Well-formed: at most kNmeaMaxSentenceLength bytes; printable ASCII with no
// second "$"; an address of capitals (talker and type); the field count of a published version
// of its kind (GGA 15, RMC 12 to 14, GLL 5 to 8, GNS 13 or 14, the address counted); no field
// over kNmeaMaxFieldLength bytes; "*" and two hex digits that match the checksum at the end.
// Returns 0 for anything else, when the rewritten sentence would exceed kNmeaMaxSentenceLength
// bytes, and when the position is not on the globe (|latitude| <= 90, |longitude| <= 180, both
// finite).
std::size_t RewritePositionSentence(std::string_view sentence, double latitude, double longitude,
                                    NmeaSentence& out);

// True when `sentence` (one whole sentence, as above) is a sentence of a standard kind that
// carries no position (GSA, GSV, VTG, ZDA, GST, GBS) with a standard talker (two capitals, not
// a proprietary "$P") and a checksum that matches; false for every other, damaged, unknown and
// proprietary ones among them, whose fields may hold the position in a form not rewritten here.
bool HoldsNoPosition(std::string_view sentence);

// The type ("GGA", "RMC", "GLL" or "GNS") of `sentence` when it is a well-formed sentence of a
// position kind as RewritePositionSentence takes it; empty for anything else.
std::string_view WellFormedPositionKind(std::string_view sentence);

// The receiver's position in a well-formed GGA sentence (as RewritePositionSentence takes it,
// any talker) that reports a fix (quality other than 0 or empty): degrees, south and west
// negative. Nothing for other sentences, and for coordinates that are empty, not "dddmm.mmmm"
// digits, with minutes of 60 or more, or off the globe.
std::optional<GeoPosition> GgaPosition(std::string_view sentence);

// The receiver's solution in a well-formed GGA sentence (as above, any talker) whose quality is
// one digit from 0 to 8; nothing for other sentences. A field that is empty, or is not digits
// (with one "." where a fraction may stand) within its range, is left out of the solution.
std::optional<ReceiverSolution> GgaSolution(std::string_view sentence);

}  // namespace quillon
