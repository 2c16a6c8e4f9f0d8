// The fields of RTCM 3 message payloads that tell a user what a stream is: the message number,
// the reference station's ID, its antenna reference point and its equipment descriptors.
// Payloads come from frames whose CRC checked, but their contents are still untrusted: every
// field is read within the payload's bounds or not at all.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rtcm/wgs84.h"

namespace quillon {

// The first 12 bits of the payload; nothing for a payload shorter than that.
std::optional<unsigned> MessageNumber(std::string_view payload);

// Multiple Signal Messages 1 to 7 of GPS, GLONASS, Galileo, SBAS, QZSS, BeiDou and NavIC
// (1071-1077, 1081-1087, ... 1131-1137).
bool IsMsmObservation(unsigned number);

// The legacy GPS and GLONASS observation messages 1001-1004 and 1009-1012.
bool IsLegacyObservation(unsigned number);

// The station position messages 1005 and 1006.
bool IsStationPosition(unsigned number);

// The reference station ID (the 12 bits after the message number) of an observation message
// (MSM or legacy) or a station position message; nothing for other messages, whose ID may
// belong to something else (a network's, a provider's), and for payloads cut short.
std::optional<unsigned> ObservingStationId(std::string_view payload);

// The antenna reference point of a 1005 or 1006 message; 1006 adds the antenna height (the ARP
// above the marker).
struct AntennaReferencePoint {
  unsigned stationId = 0;
  EcefPosition ecef;
  std::optional<double> antennaHeight;  // metres
};

// Nothing when `payload` is not a whole 1005 or 1006 message.
std::optional<AntennaReferencePoint> DecodeAntennaReferencePoint(std::string_view payload);

// The longest text field of 1007, 1008 and 1033 (a count of 8 bits, of which the message
// format allows 31).
inline constexpr std::size_t kMaxDescriptorLength = 31;

// The equipment of the reference station; each text printable (control characters and bytes
// that are not UTF-8 replaced by '?') and at most kMaxDescriptorLength bytes.
struct StationDescriptors {
  std::string antenna;
  std::string antennaSerial;
  std::string receiverType;
  std::string receiverFirmware;
  std::string receiverSerial;

  bool operator==(const StationDescriptors&) const = default;
};

// Overwrites the fields that a 1007 (antenna), 1008 (antenna and its serial number) or 1033
// (all five) message carries and returns true; leaves `descriptors` alone and returns false for
// other messages and for a payload too short for the counts it declares. A field declared
// longer than kMaxDescriptorLength keeps its first kMaxDescriptorLength bytes.
bool MergeDescriptors(std::string_view payload, StationDescriptors& descriptors);

}  // namespace quillon
