// What a scanned RTCM 3 stream holds, for the front ends: the live line, the session status,
// warnings and a probe's table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/great_circle.h"
#include "rtcm/message_counts.h"
#include "rtcm/message_fields.h"
#include "rtcm/non_frame_bytes.h"
#include "rtcm/wgs84.h"

namespace quillon {

// The reference station's antenna reference point from its latest 1005 or 1006 message.
struct StationPosition {
  unsigned stationId = 0;
  EcefPosition ecef;
  Wgs84Position wgs84;
  std::optional<double> antennaHeight;  // from 1006: the ARP's height above the marker, metres
};

struct RtcmSummary {
  std::vector<MessageStats> messages;  // ascending by number
  // From the latest observation (MSM or legacy) or station position message.
  std::optional<unsigned> stationId;
  std::optional<StationPosition> station;
  StationDescriptors descriptors;  // empty texts until 1007, 1008 or 1033 arrive
  std::uint64_t frames = 0;
  std::uint64_t frameBytes = 0;
  std::uint64_t crcFailures = 0;
  std::uint64_t nonFrameBytes = 0;
  NonFrameKind nonFrameKind = NonFrameKind::kTooFewToTell;

  // Whether MSM or legacy observations have arrived: what a rover's receiver needs.
  bool HasObservations() const;
  bool HasStationPosition() const { return station.has_value(); }
};

// At most this many message numbers appear in a summary line; more are counted after them.
inline constexpr std::size_t kMaxNumbersInSummaryLine = 24;

// "RTCM 3: 1005 1077 1087 1230, station 2001"; without a station ID the part after the comma is
// left out; "RTCM 3: no frames" before any frame has checked.
std::string SummaryLine(const RtcmSummary& summary);

// The Base's line: the messages with their rates, the station and its position, such as
// "RTCM 3: 1005 (0.10/s) 1077 (1.0/s) 1230 (0.20/s), station 2001 at 52.5200000 13.4050000
// 74.00 m" (degrees, south and west negative; height above the ellipsoid); the parts not known
// yet are left out, as in SummaryLine.
std::string BaseStreamLine(const RtcmSummary& summary);

// The Rover's line: SummaryLine and, once the station position and `receiver` are both known,
// the distance between them: "RTCM 3: 1005 1077 1087 1230, station 2001, 12.3 km".
std::string RoverStreamLine(const RtcmSummary& summary, std::optional<GeoPosition> receiver);

// A message rate for people: two significant digits and never an exponent ("25", "1.0", "0.10",
// "0.033"), "0" for none.
std::string RateText(double perSecond);

// The great-circle distance in km from `receiver` to the station's antenna; nothing until a
// station position has arrived.
std::optional<double> StationDistanceKm(const RtcmSummary& summary, GeoPosition receiver);

// A short name for a probe's table ("Station ARP", "GPS MSM7"); empty for numbers not listed.
std::string MessageName(unsigned number);

}  // namespace quillon
