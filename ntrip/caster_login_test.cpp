// A login's reply wait ends where the stop asks, within a step, not at the reply's limit.
#include "ntrip/caster_login.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "ntrip/requests.h"
#include "testing/hooked_clock.h"
#include "testing/manual_caster.h"

namespace quillon {
namespace {

// The caster takes the connection and the request (its kernel does) and never answers; the
// stop comes a second into the reply wait.
TEST(LogInToCaster, AStopDuringTheReplyWaitEndsTheLoginWithinAStep) {
  testing::ManualCaster silent("", false);
  testing::HookedClock clock(1);
  std::uint64_t stopAt = 0;  // 0: not yet in the reply wait
  clock.beforeWait = [&](int n) {
    if (n == 1) stopAt = clock.Elapsed() + 1000;
  };
  CasterSocket socket;
  const CasterLogin login =
      LogInToCaster("127.0.0.1", silent.Port(), BuildClientRequest("demo", "demo", "DEMO"), socket,
                    clock, [&] { return stopAt != 0 && clock.Elapsed() >= stopAt; });
  EXPECT_EQ(login.end, LoginEnd::kStopped);
  ASSERT_NE(stopAt, 0u) << "the reply wait was never reached";
  EXPECT_GE(clock.Elapsed(), stopAt);
  EXPECT_LE(clock.Elapsed(), stopAt + kWaitStepMs);
  EXPECT_TRUE(login.received.empty());
}

}  // namespace
}  // namespace quillon
