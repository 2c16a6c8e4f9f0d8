#include "serve/served_stream_record.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/decimal_text.h"
#include "common/printable_text.h"
#include "ntrip/source_table_text.h"
#include "rtcm/message_fields.h"

namespace quillon {
namespace {

// The tables' names of the systems, in the order they list them; each with the index of its
// MSM block (1071-1077 is block 0, 1081-1087 block 1, ...).
struct TableSystem {
  std::string_view name;
  unsigned msmBlock;
};
constexpr std::array<TableSystem, 7> kSystems = {
    {{"GPS", 0}, {"GLO", 1}, {"GAL", 2}, {"BDS", 5}, {"QZS", 4}, {"SBAS", 3}, {"IRS", 6}}};

bool HoldsSystem(const std::vector<MessageStats>& messages, unsigned block) {
  return std::any_of(messages.begin(), messages.end(), [block](const MessageStats& message) {
    const unsigned n = message.number;
    if (IsMsmObservation(n)) return (n - 1071) / 10 == block;
    return IsLegacyObservation(n) && (n <= 1004 ? block == 0 : block == 1);
  });
}

// 2: MSM2 to MSM7 carry phase, and so do legacy L1/L2 observations; 1: legacy L1 only.
int Carrier(const std::vector<MessageStats>& messages) {
  int carrier = 0;
  for (const MessageStats& message : messages) {
    const unsigned n = message.number;
    if ((IsMsmObservation(n) && n % 10 >= 2) ||
        (IsLegacyObservation(n) && (n % 8 == 3 || n % 8 == 4))) {
      return 2;
    }
    if (IsLegacyObservation(n)) carrier = 1;
  }
  return carrier;
}

}  // namespace

std::string TableField(std::string_view text) {
  std::string field = PrintableText(text);
  std::replace(field.begin(), field.end(), ';', '?');
  return field;
}

std::string FormatDetails(const std::vector<MessageStats>& messages) {
  std::string details;
  for (const MessageStats& message : messages) {
    if (!details.empty()) details += ',';
    details += std::to_string(message.number);
    if (message.perSecond > 0.0) {
      const double seconds = std::max(1.0, std::round(1.0 / message.perSecond));
      details += "(" + DecimalText(seconds, 0) + ")";
    }
  }
  return details;
}

std::string NavSystems(const std::vector<MessageStats>& messages) {
  std::string systems;
  for (const TableSystem& system : kSystems) {
    if (!HoldsSystem(messages, system.msmBlock)) continue;
    if (!systems.empty()) systems += '+';
    systems += system.name;
  }
  return systems;
}

std::string ServedStreamRecord(const ServedStream& stream, const StreamState& state) {
  const RtcmSummary& summary = state.summary;
  StrFields fields;
  fields.identifier = TableField(stream.mountPoint);
  fields.format = "RTCM 3.x";
  fields.formatDetails = FormatDetails(summary.messages);
  fields.carrier = std::to_string(Carrier(summary.messages));
  fields.navSystem = NavSystems(summary.messages);
  fields.network = "Misc";
  fields.country = "";
  const GeoPosition place = summary.station ? summary.station->wgs84.place : GeoPosition{};
  fields.latitude = DecimalText(place.latitude, 2);
  fields.longitude = DecimalText(place.longitude, 2);
  fields.nmea = "0";
  fields.solution = "0";
  fields.generator = summary.descriptors.receiverType.empty()
                         ? std::string("Quillon")
                         : TableField(summary.descriptors.receiverType);
  fields.compression = "none";
  fields.authentication = stream.loginRequired ? "B" : "N";
  fields.fee = "N";
  fields.bitrate = std::to_string(std::max<std::int64_t>(0, state.bitsPerSecond));
  return MakeStrRecord(TableField(stream.mountPoint), fields);
}

}  // namespace quillon
