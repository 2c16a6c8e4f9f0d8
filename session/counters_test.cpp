// The counters of a session that runs for months: totals past 2^32 bytes, connect times past a
// day, and a calendar clock set back.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "session/elapsed_text.h"
#include "session/throughput.h"

namespace quillon {
namespace {

constexpr std::int64_t kDay = 86400;

TEST(ElapsedText, TheDialogsClockFaceStartsAgainEachDayTheCommandLineCountsTheDays) {
  const struct {
    std::int64_t seconds;
    const char* timeOfDay;
    const char* withDays;
  } cases[] = {
      {0, "00:00:00", "00:00:00"},
      {3661, "01:01:01", "01:01:01"},
      {kDay - 1, "23:59:59", "23:59:59"},
      {kDay, "00:00:00", "1d 00:00:00"},
      {3 * kDay + 4 * 3600 + 5 * 60 + 6, "04:05:06", "3d 04:05:06"},
      {123 * kDay + 3723, "01:02:03", "123d 01:02:03"},
      {std::int64_t{1} << 32, "06:28:16", "49710d 06:28:16"},  // past any 32-bit count
      {-1, "00:00:00", "00:00:00"},  // a calendar clock set back shows no negative time
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ElapsedAsTimeOfDay(c.seconds), c.timeOfDay) << c.seconds;
    EXPECT_EQ(ElapsedWithDays(c.seconds), c.withDays) << c.seconds;
  }
}

TEST(AddToTotal, CountsPast32BitsAndStopsAtTheLargestCountRatherThanTurnNegative) {
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  const struct {
    std::int64_t total, bytes, expected;
  } cases[] = {
      {0, 1024, 1024},
      {INT32_MAX, 1, std::int64_t{1} << 31},  // where a 32-bit total turned negative
      {UINT32_MAX, 1024, (std::int64_t{1} << 32) + 1023},  // where it wrapped to a small count
      {kMost - 1, 1024, kMost},
      {kMost, 0, kMost},
  };
  for (const auto& c : cases) {
    std::int64_t total = c.total;
    AddToTotal(total, c.bytes);
    EXPECT_EQ(total, c.expected) << c.total << " + " << c.bytes;
  }
}

TEST(ConnectedSeconds, CountsFromTheStartAndNeverBelowZero) {
  constexpr std::time_t kStart = 1'700'000'000;
  EXPECT_EQ(ConnectedSeconds(kStart, kStart + 100 * kDay + 1), 100 * kDay + 1);
  EXPECT_EQ(ConnectedSeconds(kStart, kStart - 3600), 0);  // the clock was set back an hour
}

}  // namespace
}  // namespace quillon
