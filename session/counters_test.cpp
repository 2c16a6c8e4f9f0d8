// The front ends' tests show both formats of the connect time.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "session/throughput.h"

namespace quillon {
namespace {

TEST(AddToTotal, CountsPast32BitsAndStopsAtTheLargestCountRatherThanTurnNegative) {
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  const struct {
    std::int64_t total, bytes, expected;
  } cases[] = {
      {0, 1024, 1024},
      {INT32_MAX, 1, std::int64_t{1} << 31},               // where a 32-bit total turned negative
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
  EXPECT_EQ(ConnectedSeconds(kStart, kStart + 100 * 86400 + 1), 100 * 86400 + 1);
  EXPECT_EQ(ConnectedSeconds(kStart, kStart - 3600), 0);  // the clock was set back an hour
}

}  // namespace
}  // namespace quillon
