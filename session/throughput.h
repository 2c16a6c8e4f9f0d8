// The counters both session workers keep for the front end: bytes per second over windows of
// just over a second, the peak, and the byte total.
#pragma once

#include <cstdint>

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

// Adds `bytes` to a 32-bit byte total, wrapping as the counter it is rather than overflowing.
// The caller holds the status lock.
void AddToTotal(std::int32_t& total, std::int64_t bytes);

}  // namespace quillon
