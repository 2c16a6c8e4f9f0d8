#include "ntrip/receiver_solution.h"

#include <array>

#include "common/decimal_text.h"

namespace quillon {

std::string_view FixQualityName(FixQuality quality) {
  static constexpr std::array<std::string_view, 9> kNames = {
      "no fix",    "single",         "DGPS",   "PPS",      "RTK fixed",
      "RTK float", "dead reckoning", "manual", "simulated"};
  return kNames.at(static_cast<std::size_t>(quality));
}

bool WithoutCorrections(FixQuality quality) {
  return quality == FixQuality::kNoFix || quality == FixQuality::kSingle ||
         quality == FixQuality::kDeadReckoning;
}

std::string SolutionText(const ReceiverSolution& solution) {
  std::string text(FixQualityName(solution.quality));
  if (solution.satellites) text += ", " + std::to_string(*solution.satellites) + " sats";
  if (solution.ageSeconds) text += ", age " + DecimalText(*solution.ageSeconds, 1) + " s";
  return text;
}

}  // namespace quillon
