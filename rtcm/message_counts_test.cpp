#include "rtcm/message_counts.h"

#include <gtest/gtest.h>

#include <vector>

#include "testing/virtual_clock.h"

namespace quillon {
namespace {

double RateOf(const MessageCounts& counts, unsigned number, std::uint32_t now) {
  for (const MessageStats& stats : counts.Stats(now)) {
    if (stats.number == number) return stats.perSecond;
  }
  return -1.0;
}

// A stream as a base sends it: 1077 every second, 1005 every 10 seconds, read in blocks every
// 100 ms, on a clock whose 32-bit tick wraps 30 seconds in.
class MessageRates : public ::testing::Test {
 protected:
  void Run(std::uint64_t ms) {
    for (std::uint64_t end = clock_.Elapsed() + ms; clock_.Elapsed() < end;) {
      clock_.Advance(100);
      counts_.Advance(clock_.TickCount());
      if (clock_.Elapsed() % 1000 == 0) counts_.Count(1077);
      if (clock_.Elapsed() % 10000 == 0) counts_.Count(1005);
    }
  }

  testing::VirtualClock clock_{0xFFFFFFFFu - 30'000};
  MessageCounts counts_;
};

TEST_F(MessageRates, ComeFromTheClockGiven) {
  counts_.Advance(clock_.TickCount());
  Run(900);
  EXPECT_EQ(RateOf(counts_, 1077, clock_.TickCount()), -1.0);  // nothing counted yet
  Run(100);
  EXPECT_EQ(RateOf(counts_, 1077, clock_.TickCount()), 1.0);  // one second: enough to tell

  Run(19'000);  // within the first window: the rate so far
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1077, clock_.TickCount()), 1.0);
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1005, clock_.TickCount()), 0.1);

  Run(100'000);  // windows closed (the first short of its first message)
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1077, clock_.TickCount()), 1.0);
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1005, clock_.TickCount()), 0.1);
  const std::vector<MessageStats> stats = counts_.Stats(clock_.TickCount());
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_EQ(stats[0].number, 1005u);
  EXPECT_EQ(stats[0].count, 12u);
  EXPECT_EQ(stats[1].number, 1077u);
  EXPECT_EQ(stats[1].count, 120u);
}

TEST_F(MessageRates, FallWhenTheStreamStops) {
  counts_.Advance(clock_.TickCount());
  Run(120'000);  // two windows closed; the third begins with one message each
  const std::uint32_t stopped = clock_.TickCount();
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1077, stopped + 59'000), 1.0);  // the last window's rate
  // Overdue: the one message of the window begun at the stop, over the time since.
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1077, stopped + 60'000), 1.0 / 60);
  EXPECT_DOUBLE_EQ(RateOf(counts_, 1077, stopped + 600'000), 1.0 / 600);
  EXPECT_EQ(counts_.Stats(stopped + 600'000)[1].count, 120u);
}

}  // namespace
}  // namespace quillon
