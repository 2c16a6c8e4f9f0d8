// The counters both session workers keep for the front end: bytes per second over windows of
// just over a second, the peak, the byte total and the connect time.
#pragma once

#include <cstdint>
#include <ctime>

#include "session/session_status.h"

namespace quillon {

inline constexpr std::uint32_t kRateWindowMs = 1000;

class RateWindow {
 public:
  // Begins the first window at tick `now`.
  void Begin(std::uint32_t now) {
    start_ = now;
    bytes_ = 0;
  }

  // Counts `bytes` into the window. Once more than kRateWindowMs have passed since it began, sets
  // the status's rate to the window's bytes per second (and its peak when that is higher), under
  // the status lock, and begins the next window at `now`.
  void Count(std::int64_t bytes, std::uint32_t now, SessionStatus& status);

 private:
  std::uint32_t start_ = 0;
  std::int64_t bytes_ = 0;
};

// Adds `bytes` (not negative) to a byte total; a total that would pass the largest count stays
// there rather than turning negative. The caller holds the status lock.
void AddToTotal(std::int64_t& total, std::int64_t bytes);

// Whole seconds from the calendar time `start` to `now`; 0 when the calendar clock was set back
// before `start`.
std::int64_t ConnectedSeconds(std::time_t start, std::time_t now);

}  // namespace quillon
