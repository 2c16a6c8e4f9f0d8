#include "rover/reconnect_wait.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace quillon {
namespace {

// A client that comes back at once after every short session gets banned by its caster: only a
// session that relayed for a minute begins the waits again.
TEST(ReconnectWaits, DoubleToAMinuteAndBeginAgainOnlyAfterAMinuteOfRelaying) {
  const struct {
    std::vector<std::pair<bool, std::uint32_t>> ends;  // refused, relayed ms
    std::vector<int> waits;
  } cases[] = {
      {{{false, 0}, {false, 0}, {false, 0}, {false, 0}, {false, 0}, {false, 0}},
       {5, 10, 20, 40, 60, 60}},
      {{{false, 0}, {false, 3000}, {false, kGoodSessionMs - 1}}, {5, 10, 20}},
      {{{false, 0}, {false, 0}, {false, kGoodSessionMs}, {false, 0}}, {5, 10, 5, 10}},
      {{{false, 0}, {true, 0}, {false, 0}, {true, kGoodSessionMs}}, {5, 60, 60, 60}},
  };
  for (const auto& c : cases) {
    ReconnectWaits waits;
    std::vector<int> got;
    for (const auto& [refused, relayedMs] : c.ends) got.push_back(waits.Next(refused, relayedMs));
    EXPECT_EQ(got, c.waits) << &c - cases;
  }
}

}  // namespace
}  // namespace quillon
