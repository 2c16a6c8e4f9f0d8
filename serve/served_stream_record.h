// The source table of the program's own caster: one STR record for the mount point it serves,
// made from what the RTCM 3 scanner has seen of the live stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rtcm/message_counts.h"
#include "rtcm/rtcm_summary.h"

namespace quillon {

// What the caster serves, as its options say.
struct ServedStream {
  std::string mountPoint;
  bool loginRequired = false;  // clients must log in (Basic authentication)
};

// The stream as scanned at one moment.
struct StreamState {
  RtcmSummary summary;
  std::int64_t bitsPerSecond = 0;
};

// `text` fit for a field of a source-table record: control characters and bytes that are not
// UTF-8 become '?' (PrintableText), and so does ';', which would end the field.
std::string TableField(std::string_view text);

// Every message number with the seconds between its messages, as tables give it: rounded, at
// least 1 (a faster message is sent every second or more often); a number without a rate yet
// stands alone: "1005(10),1077(1),1230".
std::string FormatDetails(const std::vector<MessageStats>& messages);

// The navigation systems whose observations (MSM, or legacy GPS and GLONASS) the stream holds,
// "+"-joined in the tables' order and names: "GPS+GLO+GAL+BDS+QZS+SBAS+IRS"; empty for none.
std::string NavSystems(const std::vector<MessageStats>& messages);

// The STR record, without its line end: format "RTCM 3.x", the details and systems above, the
// carrier (2 for MSM that carry phase or legacy L1/L2 observations, 1 for legacy L1 only, 0
// otherwise), the station's latitude and longitude from 1005/1006 with 2 decimals ("0.00" until
// one came), no NMEA needed, a single base, the receiver type from 1033 as the generator (else
// the program's name), and the bit rate.
std::string ServedStreamRecord(const ServedStream& stream, const StreamState& state);

}  // namespace quillon
