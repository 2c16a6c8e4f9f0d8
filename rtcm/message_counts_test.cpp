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
// 100 ms, on a clock whose 32-bit tick wraps 30 seconds in; then the stream stops.
TEST(MessageRates, ComeFromTheClockGivenAndFallWhenTheStreamStops) {
  testing::VirtualClock clock{0xFFFFFFFFu - 30'000};
  MessageCounts counts;
  const auto run = [&](std::uint64_t ms) {
    for (std::uint64_t end = clock.Elapsed() + ms; clock.Elapsed() < end;) {
      clock.Advance(100);
      counts.Advance(clock.TickCount());
      if (clock.Elapsed() % 1000 == 0) counts.Count(1077);
      if (clock.Elapsed() % 10000 == 0) counts.Count(1005);
    }
  };
  counts.Advance(clock.TickCount());
  run(900);
  EXPECT_EQ(RateOf(counts, 1077, clock.TickCount()), -1.0);  // nothing counted yet
  run(100);
  EXPECT_EQ(RateOf(counts, 1077, clock.TickCount()), 1.0);  // one second: enough to tell

  run(19'000);  // within the first window: the rate so far
  EXPECT_DOUBLE_EQ(RateOf(counts, 1077, clock.TickCount()), 1.0);
  EXPECT_DOUBLE_EQ(RateOf(counts, 1005, clock.TickCount()), 0.1);

  run(100'000);  // windows closed (the first short of its first message)
  EXPECT_DOUBLE_EQ(RateOf(counts, 1077, clock.TickCount()), 1.0);
  EXPECT_DOUBLE_EQ(RateOf(counts, 1005, clock.TickCount()), 0.1);
  const std::vector<MessageStats> stats = counts.Stats(clock.TickCount());
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_EQ(stats[0].number, 1005u);
  EXPECT_EQ(stats[0].count, 12u);
  EXPECT_EQ(stats[1].number, 1077u);
  EXPECT_EQ(stats[1].count, 120u);

  // Two windows closed, the third begun with one message each: the stream stops here.
  const std::uint32_t stopped = clock.TickCount();
  EXPECT_DOUBLE_EQ(RateOf(counts, 1077, stopped + 59'000), 1.0);  // the last window's rate
  // Overdue: the one message of the window begun at the stop, over the time since.
  EXPECT_DOUBLE_EQ(RateOf(counts, 1077, stopped + 60'000), 1.0 / 60);
  EXPECT_DOUBLE_EQ(RateOf(counts, 1077, stopped + 600'000), 1.0 / 600);
  EXPECT_EQ(counts.Stats(stopped + 600'000)[1].count, 120u);
}

}  // namespace
}  // namespace quillon
