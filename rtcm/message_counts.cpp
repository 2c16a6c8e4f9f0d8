#include "rtcm/message_counts.h"

#include <algorithm>

namespace quillon {
namespace {

double PerSecond(std::uint64_t messages, std::uint32_t spanMs) {
  return static_cast<double>(messages) * 1000.0 / static_cast<double>(spanMs);
}

}  // namespace

MessageCounts::MessageCounts(std::uint32_t windowMs)
    : windowMs_(std::max(windowMs, kMinRateSpanMs)) {}

void MessageCounts::Advance(std::uint32_t now) {
  if (!started_) {
    started_ = true;
    windowStart_ = now;
    return;
  }
  const std::uint32_t span = now - windowStart_;
  if (span < windowMs_) return;
  for (auto& [number, tally] : tallies_) {
    tally.perSecond = PerSecond(tally.inWindow, span);
    tally.inWindow = 0;
  }
  windowStart_ = now;
  closedOne_ = true;
}

void MessageCounts::Count(unsigned number) {
  Tally& tally = tallies_[number];
  ++tally.count;
  ++tally.inWindow;
}

std::vector<MessageStats> MessageCounts::Stats(std::uint32_t now) const {
  const std::uint32_t span = now - windowStart_;
  const bool current = span >= windowMs_ || (!closedOne_ && span >= kMinRateSpanMs);
  std::vector<MessageStats> stats;
  stats.reserve(tallies_.size());
  for (const auto& [number, tally] : tallies_) {
    double perSecond = 0.0;
    if (current) {
      perSecond = PerSecond(tally.inWindow, span);
    } else if (closedOne_) {
      perSecond = tally.perSecond;
    }
    stats.push_back({number, tally.count, perSecond});
  }
  return stats;
}

}  // namespace quillon
