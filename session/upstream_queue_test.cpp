// The bound on what waits for the caster: the oldest goes, whole lines where there are lines.
#include "session/upstream_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

// Sentences as a receiver writes them, each 20 bytes with its line end.
std::string Line(char c) { return "$GP" + std::string(15, c) + "\r\n"; }

TEST(UpstreamQueue, WhenTooMuchWaitsTheOldestWholeLinesGo) {
  const std::string a = Line('a'), b = Line('b'), c = Line('c'), d = Line('d');
  const struct {
    const char* name;
    std::size_t capacity;
    std::vector<std::string> pushed;
    std::size_t taken;  // bytes the caster took before the last push
    std::string waiting;
    std::uint64_t dropped;
  } cases[] = {
      {"within the bound nothing goes", 60, {a, b, c}, 0, a + b + c, 0},
      // One byte too many: the whole first line goes, not just its "$".
      {"a line, not a byte", 60, {a, b, c, "x"}, 0, b + c + "x", 20},
      {"as many lines as it takes", 45, {a, b, c, d}, 0, c + d, 40},
      // The caster has the first 5 bytes of a: the rest of a stays, b goes.
      {"the rest of a begun line stays", 40, {a, b, c}, 5, a.substr(5) + c, 20},
      // Binary bytes without line ends: just the excess goes.
      {"bytes without lines", 10, {std::string(8, '\x01'), std::string(5, '\x02')}, 0,
       std::string(5, '\x01') + std::string(5, '\x02'), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UpstreamQueue queue(c.capacity);
    for (std::size_t i = 0; i < c.pushed.size(); ++i) {
      if (i + 1 == c.pushed.size()) queue.Take(c.taken);
      queue.Push(c.pushed[i]);
    }
    EXPECT_EQ(queue.Front(), c.waiting);
    EXPECT_EQ(queue.Dropped(), c.dropped);
  }
}

}  // namespace
}  // namespace quillon
