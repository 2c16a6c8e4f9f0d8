// Reaching a caster: the lookup, the connect and the send each end at their limit or a stop.
#include "net/caster_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>

#include "net/address.h"
#include "ntrip/demo_caster.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::VirtualClock;

std::string Dotted(const CasterAddress& address) { return inet_ntoa(address.address); }

TEST(ResolveCasterAddress, DottedAddressesFollowInetAddrAndNamesBeginWithALetter) {
  VirtualClock clock;
  EXPECT_EQ(Dotted(ResolveCasterAddress("127.0.0.1", clock)), "127.0.0.1");
  for (const char* bad : {"192.168.1.300", "255.255.255.255", "1example.com", "", "1.2.3.4x"}) {
    EXPECT_EQ(ResolveCasterAddress(bad, clock).kind, AddressKind::kInvalidDotted) << bad;
  }
  clock.SetRealPollMs(1000);  // the lookup thread's answer is waited for in real time
  const auto local = ResolveCasterAddress("localhost", clock);
  EXPECT_EQ(local.kind, AddressKind::kResolved);
  EXPECT_EQ(Dotted(local), "127.0.0.1");
  const auto missing = ResolveCasterAddress("no-such-host.invalid", clock);
  EXPECT_EQ(missing.kind, AddressKind::kUnresolved);
  EXPECT_FALSE(missing.problem.empty());
}

// A resolver that never answers; the lookup's thread may outlive the call that started it.
TEST(ResolveCasterAddress, AHangingLookupEndsWithAStopOrAfterItsLimit) {
  VirtualClock clock(1000, 1'700'000'000, 1);
  std::promise<void> release;
  const NameLookup hanging = [gate = release.get_future().share()](const std::string& name) {
    gate.wait();
    return LookUpHostName(name);
  };
  int asked = 0;
  const auto stopped = ResolveCasterAddress(
      "caster.example", clock, [&] { return ++asked > 3; }, hanging);
  EXPECT_EQ(stopped.kind, AddressKind::kStopped);
  EXPECT_LE(clock.Elapsed(), 3 * kWaitStepMs);

  const auto start = clock.Elapsed();
  const auto late = ResolveCasterAddress("caster.example", clock, {}, hanging);
  EXPECT_EQ(late.kind, AddressKind::kUnresolved);
  EXPECT_EQ(late.problem, "Temporary failure in name resolution");
  EXPECT_EQ(clock.Elapsed() - start, kNameLookupLimitMs);
  release.set_value();
}

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
