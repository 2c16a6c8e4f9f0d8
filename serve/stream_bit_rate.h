// The bit rate of the served stream for its source-table record and the status page: taken over
// the message rates' windows, so that both tell of the same stretch of the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtcm/message_counts.h"

namespace quillon {

class StreamBitRate {
 public:
  // `bytes` of the stream arrived at tick `now`.
  void Count(std::size_t bytes, std::uint32_t now);

  // At tick `now`: the rate of the last window that closed; before any has, the rate so far (0
  // during the first kMinRateSpanMs); once the current window is overdue (the stream has
  // stopped), the rate so far in it, which falls as the silence goes on.
  std::int64_t BitsPerSecond(std::uint32_t now) const;

 private:
  std::uint32_t start_ = 0;
  std::uint64_t inWindow_ = 0;
  std::int64_t closedRate_ = 0;
  bool started_ = false;
  bool closedOne_ = false;
};

}  // namespace quillon
