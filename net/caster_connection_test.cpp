// Connecting and sending to a caster that does not play along: every wait has its limit and
// ends at once when the caller asks it to stop.
#include "net/caster_connection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ntrip/demo_caster.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::VirtualClock;

TEST(ConnectToCaster, ACasterThatNeverAcceptsFailsAfterTheLimitOrAtTheStop) {
  DemoCaster caster;
  caster.StopAccepting();
  VirtualClock clock(1000, 1'700'000'000, 1);
  CasterSocket socket;
  const CasterConnect late =
      ConnectToCaster("127.0.0.1", caster.Port(), socket, clock, kCasterConnectLimitMs);
  EXPECT_EQ(late.step, ConnectStep::kConnectFailed);
  EXPECT_EQ(late.error, ETIMEDOUT);
  EXPECT_EQ(clock.Elapsed(), kCasterConnectLimitMs);
  EXPECT_TRUE(socket.IsOpen());  // the caller closes it, by its own rules

  int asked = 0;
  const auto start = clock.Elapsed();
  const CasterConnect stopped = ConnectToCaster("127.0.0.1", caster.Port(), socket, clock,
                                                kCasterConnectLimitMs, [&] { return ++asked > 2; });
  EXPECT_EQ(stopped.step, ConnectStep::kStopped);
  EXPECT_LE(clock.Elapsed() - start, 2 * kWaitStepMs);
}

TEST(SendWithin, APeerThatStopsReadingFailsTheSendAfterTheLimitOrAtTheStop) {
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
  VirtualClock clock(1000, 1'700'000'000, 1);
  const std::string chunk(64 * 1024, 'x');
  // Sends until the peer's buffers are full, then makes no progress.
  int result = 0;
  while ((result = SendWithin(ends[0], chunk, clock, kSendStallLimitMs)) == 0) {
  }
  EXPECT_EQ(result, ETIMEDOUT);
  EXPECT_GE(clock.Elapsed(), kSendStallLimitMs);

  const auto start = clock.Elapsed();
  EXPECT_EQ(SendWithin(ends[0], chunk, clock, kSendStallLimitMs, [] { return true; }), ECANCELED);
  EXPECT_EQ(clock.Elapsed(), start);

  close(ends[1]);
  EXPECT_EQ(SendWithin(ends[0], chunk, clock, kSendStallLimitMs), EPIPE);
  close(ends[0]);
}

}  // namespace
}  // namespace quillon
