#include "session/throughput.h"

#include <algorithm>
#include <limits>
#include <mutex>

namespace quillon {

void RateWindow::Count(std::int64_t bytes, std::uint32_t now, SessionStatus& status) {
  bytes_ += bytes;
  const std::uint32_t span = now - start_;
  if (span <= kRateWindowMs) return;
  std::lock_guard guard(status.lock);
  status.rate = bytes_ * 1000 / span;
  if (status.rate > status.peak) status.peak = status.rate;
  Begin(now);
}

void AddToTotal(std::int64_t& total, std::int64_t bytes) {
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  total = bytes > kMost - total ? kMost : total + bytes;
}

std::int64_t ConnectedSeconds(std::time_t start, std::time_t now) {
  return std::max<std::int64_t>(static_cast<std::int64_t>(now) - start, 0);
}

}  // namespace quillon
