#include "session/elapsed_text.h"

#include <algorithm>
#include <cstdio>

namespace quillon {
namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;

std::string Clock(std::int64_t secondsOfDay) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(secondsOfDay / 3600),
                static_cast<int>(secondsOfDay / 60 % 60), static_cast<int>(secondsOfDay % 60));
  return text;
}

}  // namespace

std::string ElapsedAsTimeOfDay(std::int64_t seconds) {
  return Clock(std::max<std::int64_t>(seconds, 0) % kDay);
}

std::string ElapsedWithDays(std::int64_t seconds) {
  seconds = std::max<std::int64_t>(seconds, 0);
  const std::string clock = Clock(seconds % kDay);
  if (seconds < kDay) return clock;
  return std::to_string(seconds / kDay) + "d " + clock;
}

}  // namespace quillon
