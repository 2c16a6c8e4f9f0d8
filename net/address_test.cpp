#include "net/address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

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

// A lookup that hangs until the test lets it go, as one does against a resolver that does not
// answer. It shares its gate with the lookup thread, which may outlive the call that started it.
struct HangingLookup {
  struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
  };
  std::shared_ptr<Gate> gate = std::make_shared<Gate>();

  NameLookup Lookup() const {
    return [gate = gate](const std::string& name) {
      std::unique_lock lock(gate->mutex);
      gate->opened.wait(lock, [&] { return gate->open; });
      return LookUpHostName(name);
    };
  }
  ~HangingLookup() {
    std::lock_guard lock(gate->mutex);
    gate->open = true;
    gate->opened.notify_all();
  }
};

TEST(ResolveCasterAddress, AHangingLookupEndsWithAStopOrAfterItsLimit) {
  VirtualClock clock(1000, 1'700'000'000, 1);
  HangingLookup hanging;
  int asked = 0;
  const auto stopped = ResolveCasterAddress(
      "caster.example", clock, [&] { return ++asked > 3; }, hanging.Lookup());
  EXPECT_EQ(stopped.kind, AddressKind::kStopped);
  EXPECT_LE(clock.Elapsed(), 3 * kWaitStepMs);

  const auto start = clock.Elapsed();
  const auto late = ResolveCasterAddress("caster.example", clock, {}, hanging.Lookup());
  EXPECT_EQ(late.kind, AddressKind::kUnresolved);
  EXPECT_EQ(late.problem, "Temporary failure in name resolution");
  EXPECT_EQ(clock.Elapsed() - start, kNameLookupLimitMs);
}

}  // namespace
}  // namespace quillon
