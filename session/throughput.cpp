#include "session/throughput.h"

#include <mutex>

namespace quillon {

void RateWindow::Count(std::int64_t bytes, std::uint32_t now, SessionStatus& status) {
  bytes_ += bytes;
  const std::uint32_t span = now - start_;
  if (span <= kRateWindowMs) return;
  std::lock_guard guard(status.lock);
  status.rate = static_cast<std::int32_t>(bytes_ * 1000 / span);
  if (status.rate > status.peak) status.peak = status.rate;
  Begin(now);
}

void AddToTotal(std::int32_t& total, std::int64_t bytes) {
  total = static_cast<std::int32_t>(static_cast<std::uint32_t>(total) +
                                    static_cast<std::uint32_t>(bytes));
}

}  // namespace quillon
