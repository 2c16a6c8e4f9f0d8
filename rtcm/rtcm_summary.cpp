#include "rtcm/rtcm_summary.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quillon {
namespace {

struct NamedMessage {
  unsigned number;
  std::string_view name;
};

// The messages a correction stream commonly holds besides the MSM, which are named below.
constexpr std::array<NamedMessage, 23> kNames = {{
    {1001, "GPS L1 observations"},
    {1002, "GPS L1 observations, extended"},
    {1003, "GPS L1/L2 observations"},
    {1004, "GPS L1/L2 observations, extended"},
    {1005, "Station ARP"},
    {1006, "Station ARP and antenna height"},
    {1007, "Antenna descriptor"},
    {1008, "Antenna descriptor and serial"},
    {1009, "GLONASS L1 observations"},
    {1010, "GLONASS L1 observations, extended"},
    {1011, "GLONASS L1/L2 observations"},
    {1012, "GLONASS L1/L2 observations, extended"},
    {1013, "System parameters"},
    {1019, "GPS ephemeris"},
    {1020, "GLONASS ephemeris"},
    {1029, "Text message"},
    {1032, "Physical reference station ARP"},
    {1033, "Receiver and antenna descriptors"},
    {1042, "BeiDou ephemeris"},
    {1044, "QZSS ephemeris"},
    {1045, "Galileo F/NAV ephemeris"},
    {1046, "Galileo I/NAV ephemeris"},
    {1230, "GLONASS code-phase biases"},
}};

// The systems of the MSM blocks 1071-1077, 1081-1087, ... 1131-1137, in order.
constexpr std::array<std::string_view, 7> kMsmSystems = {"GPS",  "GLONASS", "Galileo", "SBAS",
                                                         "QZSS", "BeiDou",  "NavIC"};

}  // namespace

bool RtcmSummary::HasObservations() const {
  return std::any_of(messages.begin(), messages.end(), [](const MessageStats& message) {
    return IsMsmObservation(message.number) || IsLegacyObservation(message.number);
  });
}

std::string SummaryLine(const RtcmSummary& summary) {
  if (summary.messages.empty()) return "RTCM 3: no frames";
  std::string line = "RTCM 3:";
  const std::size_t shown = std::min(summary.messages.size(), kMaxNumbersInSummaryLine);
  for (std::size_t i = 0; i < shown; ++i) line += " " + std::to_string(summary.messages[i].number);
  if (shown < summary.messages.size()) {
    line += " and " + std::to_string(summary.messages.size() - shown) + " more";
  }
  if (summary.stationId) line += ", station " + std::to_string(*summary.stationId);
  return line;
}

std::optional<double> StationDistanceKm(const RtcmSummary& summary, GeoPosition receiver) {
  if (!summary.station) return std::nullopt;
  return GreatCircleKm(summary.station->wgs84.place, receiver);
}

std::string MessageName(unsigned number) {
  if (IsMsmObservation(number)) {
    return std::string(kMsmSystems[(number - 1071) / 10]) + " MSM" + std::to_string(number % 10);
  }
  const auto* named =
      std::find_if(kNames.begin(), kNames.end(),
                   [number](const NamedMessage& entry) { return entry.number == number; });
  return named == kNames.end() ? std::string() : std::string(named->name);
}

}  // namespace quillon
