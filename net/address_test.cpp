#include "net/address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <future>

#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::VirtualClock;

std::string Dotted(const CasterAddress& address) { return inet_ntoa(address.address); }

TEST(ResolveCasterAddress, DottedAddressesFollowInetAddrAndNamesBeginWithALetter) {
  VirtualClock clock;
  EXPECT_EQ(Dotted(ResolveCasterAddress("127.0.0.1", clock)), "127.0.0.1");
  EXPECT_EQ(ResolveCasterAddress("10.1.2.3", clock).kind, AddressKind::kResolved);
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

// The lookup hangs, as against a resolver that does not answer, until the test lets it go; its
// thread may outlive the call that started it.
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

}  // namespace
}  // namespace quillon
