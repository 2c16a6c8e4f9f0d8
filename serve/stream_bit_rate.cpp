#include "serve/stream_bit_rate.h"

namespace quillon {
namespace {

std::int64_t Rate(std::uint64_t bytes, std::uint32_t ms) {
  return static_cast<std::int64_t>(bytes * 8000 / ms);
}

}  // namespace

void StreamBitRate::Count(std::size_t bytes, std::uint32_t now) {
  if (!started_) {
    started_ = true;
    start_ = now;
  }
  const std::uint32_t span = now - start_;
  if (span >= kMessageRateWindowMs) {
    closedRate_ = Rate(inWindow_, span);
    closedOne_ = true;
    start_ = now;
    inWindow_ = 0;
  }
  inWindow_ += bytes;
}

std::int64_t StreamBitRate::BitsPerSecond(std::uint32_t now) const {
  if (!started_) return 0;
  const std::uint32_t span = now - start_;
  if (span >= kMessageRateWindowMs) return Rate(inWindow_, span);
  if (closedOne_) return closedRate_;
  return span < kMinRateSpanMs ? 0 : Rate(inWindow_, span);
}

}  // namespace quillon
