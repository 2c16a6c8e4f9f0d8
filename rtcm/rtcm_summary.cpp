#include "rtcm/rtcm_summary.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/decimal_text.h"

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

// "RTCM 3:" and the message numbers, each followed by what `detail` makes of its stats, up to
// kMaxNumbersInSummaryLine of them; then the station ID.
template <typename Detail>
std::string MessageLine(const RtcmSummary& summary, Detail detail) {
  if (summary.messages.empty()) return "RTCM 3: no frames";
  std::string line = "RTCM 3:";
  const std::size_t shown = std::min(summary.messages.size(), kMaxNumbersInSummaryLine);
  for (std::size_t i = 0; i < shown; ++i) {
    line += " " + std::to_string(summary.messages[i].number) + detail(summary.messages[i]);
  }
  if (shown < summary.messages.size()) {
    line += " and " + std::to_string(summary.messages.size() - shown) + " more";
  }
  if (summary.stationId) line += ", station " + std::to_string(*summary.stationId);
  return line;
}

}  // namespace

bool RtcmSummary::HasObservations() const {
  return std::any_of(messages.begin(), messages.end(), [](const MessageStats& message) {
    return IsMsmObservation(message.number) || IsLegacyObservation(message.number);
  });
}

std::string SummaryLine(const RtcmSummary& summary) {
  return MessageLine(summary, [](const MessageStats&) { return std::string(); });
}

std::string BaseStreamLine(const RtcmSummary& summary) {
  std::string line = MessageLine(summary, [](const MessageStats& message) {
    return " (" + RateText(message.perSecond) + "/s)";
  });
  if (summary.station) {
    const Wgs84Position& position = summary.station->wgs84;
    line += (summary.stationId ? " at " : ", station at ") +
            DecimalText(position.place.latitude, 7) + " " +
            DecimalText(position.place.longitude, 7) + " " + DecimalText(position.height, 2) + " m";
  }
  return line;
}

std::string RoverStreamLine(const RtcmSummary& summary, std::optional<GeoPosition> receiver) {
  std::string line = SummaryLine(summary);
  const std::optional<double> km = receiver ? StationDistanceKm(summary, *receiver) : std::nullopt;
  if (km) line += ", " + DecimalText(*km, 1) + " km";
  return line;
}

std::string RateText(double perSecond) {
  if (!(perSecond > 0.0)) return "0";
  const int decimals = perSecond >= 9.95 ? 0 : perSecond >= 0.995 ? 1 : perSecond >= 0.0995 ? 2 : 3;
  return DecimalText(perSecond, decimals);
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
