// How long a Rover that reconnects by itself waits before its next attempt.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quillon {

inline constexpr int kFirstReconnectWaitSeconds = 5;
// Also what a caster that refused the login gets: casters ban clients that hammer them.
inline constexpr int kLongestReconnectWaitSeconds = 60;
// A session that relayed this long was a good one: the waits begin again from the first.
inline constexpr std::uint32_t kGoodSessionMs = 60000;

class ReconnectWaits {
 public:
  // The wait after an attempt that ended: 5 s, doubled after each further failure up to 60 s;
  // 5 s again after a session that relayed for kGoodSessionMs or more; 60 s after a refusal.
  int Next(bool refused, std::uint32_t relayedMs) {
    if (relayedMs >= kGoodSessionMs) last_ = 0;
    last_ = refused      ? kLongestReconnectWaitSeconds
            : last_ == 0 ? kFirstReconnectWaitSeconds
                         : std::min(last_ * 2, kLongestReconnectWaitSeconds);
    return last_;
  }

 private:
  int last_ = 0;
};

}  // namespace quillon
