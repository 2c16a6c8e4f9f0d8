// How many messages of each number a stream has carried, and how many a second.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace quillon {

// Rates are taken over windows this long: long enough that a station message sent every 10 or
// 30 seconds gets a steady rate, short enough that a change shows within a minute.
inline constexpr std::uint32_t kMessageRateWindowMs = 60'000;

// Before a first window has closed, a rate needs at least this much time behind it.
inline constexpr std::uint32_t kMinRateSpanMs = 1'000;

struct MessageStats {
  unsigned number = 0;
  std::uint64_t count = 0;
  double perSecond = 0.0;
};

class MessageCounts {
 public:
  // Windows shorter than kMinRateSpanMs are taken as that long.
  explicit MessageCounts(std::uint32_t windowMs = kMessageRateWindowMs);

  // Sets the time (a 32-bit tick in ms that may wrap) for the messages counted next. The first
  // call begins the first window; a call once a window has lasted windowMs closes it, keeping
  // each number's messages in it per second as its rate, and begins the next.
  void Advance(std::uint32_t now);

  void Count(unsigned number);

  // Every number counted, ascending, with its count and rate at tick `now`: the rate of the last
  // window that closed; before any has, the rate so far (0 during the first kMinRateSpanMs);
  // and once the current window is overdue (nothing advanced time to close it, as when a
  // stream stops), the rate so far in that window, which falls as the silence goes on.
  std::vector<MessageStats> Stats(std::uint32_t now) const;

 private:
  struct Tally {
    std::uint64_t count = 0;
    std::uint64_t inWindow = 0;
    double perSecond = 0.0;  // in the last window that closed
  };

  const std::uint32_t windowMs_;
  std::map<unsigned, Tally> tallies_;
  std::uint32_t windowStart_ = 0;
  bool started_ = false;
  bool closedOne_ = false;
};

}  // namespace quillon
