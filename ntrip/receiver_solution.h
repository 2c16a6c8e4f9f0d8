// The receiver's own solution as its GGA sentences report it: whether it is fixed, and from how
// many satellites and how old corrections. Plain values, for the front ends to show as they see
// fit (the live line, the service status, the dialog, a status page).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The GGA's fix quality field, by its number.
enum class FixQuality : std::uint8_t {
  kNoFix = 0,
  kSingle = 1,
  kDgps = 2,
  kPps = 3,
  kRtkFixed = 4,
  kRtkFloat = 5,
  kDeadReckoning = 6,
  kManual = 7,
  kSimulated = 8,
};

struct ReceiverSolution {
  FixQuality quality = FixQuality::kNoFix;
  // Each nothing when its field is empty or not a number in its range.
  std::optional<unsigned> satellites;  // 0 to 999
  std::optional<double> hdop;          // 0 to 9999
  std::optional<double> ageSeconds;    // of the corrections in use; 0 to 99999
  std::optional<unsigned> stationId;   // of the corrections in use; 0 to 4095
};

// How a connection's solution went: from the connect to the latest look at it.
struct SolutionTimes {
  bool reported = false;                    // a GGA has come
  std::uint32_t watchedMs = 0;              // since the connect
  std::uint32_t fixedMs = 0;                // of which the receiver reported RTK fixed
  std::optional<std::uint32_t> firstFixMs;  // from the connect to the first RTK fixed
};

// "no fix", "single", "DGPS", "PPS", "RTK fixed", "RTK float", "dead reckoning", "manual" or
// "simulated".
std::string_view FixQualityName(FixQuality quality);

// The quality of a receiver that computes its position without corrections, or without any.
bool WithoutCorrections(FixQuality quality);

// "RTK fixed, 14 sats, age 1.0 s": the parts the GGA left empty are left out.
std::string SolutionText(const ReceiverSolution& solution);

}  // namespace quillon
