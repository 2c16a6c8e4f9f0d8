// A deterministic stand-in for a reference station's correction stream: an epoch a second of six
// RTCM 3 messages (1004, 1005, 1012, 1033, 1077, 1087 in turn), each in a frame whose CRC-24Q
// checks. The station messages are whole: station kDemoStationId at kDemoStationPlace (1005)
// with printable descriptors (1033). The observation messages carry the station ID and the
// epoch's time in their headers and pseudo-random bytes behind them, so a receiver or a person
// reading a hex dump sees plausible data. The bytes depend only on the seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/great_circle.h"

namespace quillon {

inline constexpr unsigned kDemoStationId = 2001;
// The antenna reference point that the 1005 message gives: in Berlin, on the WGS84 ellipsoid.
inline constexpr GeoPosition kDemoStationPlace = {52.52, 13.405};
inline constexpr double kDemoStationHeight = 74.0;  // metres above the ellipsoid

class CorrectionStream {
 public:
  explicit CorrectionStream(std::uint32_t seed = 1);

  // The next `count` bytes of the endless concatenation of frames; frames may be cut across
  // calls, as on a real connection.
  std::string Next(std::size_t count);

 private:
  std::uint32_t NextRandom();
  // Appends the next epoch's six frames to pending_.
  void AppendEpoch();

  std::uint32_t state_;
  std::uint32_t epoch_ = 0;
  std::string pending_;  // rest of an epoch cut by Next
};

}  // namespace quillon
