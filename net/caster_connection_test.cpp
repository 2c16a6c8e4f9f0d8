// Reaching a caster: the lookup and the connect each end at their limit or a stop.
#include "net/caster_connection.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/address.h"
#include "testing/hanging_listener.h"
#include "testing/hooked_clock.h"
#include "testing/scripted_lookup.h"
#include "testing/tls_test_peer.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::ScriptedLookup;
using testing::VirtualClock;
using Texts = std::vector<std::string>;

Texts AddressTexts(const CasterAddress& address) {
  Texts texts;
  for (const IpAddress& ip : address.addresses) texts.push_back(ip.Text());
  return texts;
}

// A caster that accepts and says nothing, at `address`.
std::unique_ptr<testing::TlsTestPeer> Accepting(std::string address, std::uint16_t port) {
  testing::TlsPeerConfig config;
  config.behaviour = testing::PeerBehaviour::kSilent;
  config.address = std::move(address);
  config.port = port;
  return std::make_unique<testing::TlsTestPeer>(config);
}

// Literal addresses are used as they are; everything else, digits first or not, is a name.
TEST(ResolveCasterAddress, LiteralsAreUsedAsTheyAreAndEveryOtherTextIsLookedUp) {
  VirtualClock clock(1000, 1'700'000'000, 1000);  // the lookup thread answers in real time
  ScriptedLookup lookup{{"192.0.2.7"}, {}};
  for (const char* literal : {"127.0.0.1", "::1", "[2001:db8::1]", "fe80::1%lo"}) {
    const Texts found = AddressTexts(ResolveCasterAddress(literal, clock, {}, lookup.Seam()));
    EXPECT_EQ(found, Texts{literal[0] == '[' ? "2001:db8::1" : literal});
  }
  for (const char* bad : {"192.168.1.300", "255.255.255.255", "", "1.2.3.4.", "[1.2.3.4]", "[::1",
                          "2001:db8::g", "caster:2101"}) {
    EXPECT_EQ(ResolveCasterAddress(bad, clock, {}, lookup.Seam()).kind,
              AddressKind::kInvalidLiteral)
        << bad;
  }
  EXPECT_TRUE(lookup.asked.empty());
  const Texts names = {"1.rtk.example", "4g-caster.example", "1.2.3.4x", "caster.example"};
  for (const std::string& name : names) {
    EXPECT_EQ(AddressTexts(ResolveCasterAddress(name, clock, {}, lookup.Seam())), lookup.answer);
  }
  EXPECT_EQ(lookup.asked, names);
  // The system's lookup asks for IPv6 as well as IPv4.
  EXPECT_EQ(AddressTexts(LookUpHostName("::1")), Texts{"::1"});
  EXPECT_FALSE(LookUpHostName("no-such-host.invalid").problem.empty());
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

// The caster's addresses in turn, within one limit: on 127.0.0.1 a caster that never accepts,
// on 127.0.0.2 one that does, on 127.0.0.3 nothing (refused at once); all on one port. A stop is
// seen within a step in the first address's connect and in a later one's.
TEST(ConnectToCaster, TriesEveryAddressInTurnWithinOneLimitUntilAStop) {
  testing::HangingListener hanging;
  const auto accepting = Accepting("127.0.0.2", hanging.Port());
  const std::string hangs = "127.0.0.1", accepts = "127.0.0.2", refuses = "127.0.0.3";
  const struct {
    Texts addresses;
    int error;         // 0: connected to `accepts`; ECANCELED: stopped
    std::uint64_t ms;  // virtual time of the connect
    std::uint64_t stopAt = 0;
  } cases[] = {
      {{hangs}, ETIMEDOUT, 20000},
      {{refuses, accepts}, 0, 0},
      {{"0.0.0.0", accepts}, 0, 0},
      {{hangs, accepts}, 0, 10000},  // half the limit each
      {{hangs, hangs, accepts}, 0, 13333},
      // An even share would be 3333 ms; each hanging one gets 5000, so the sixth is not reached.
      {{hangs, hangs, hangs, hangs, hangs, accepts}, ETIMEDOUT, 20000},
      {{refuses, refuses}, ECONNREFUSED, 0},
      {{hangs, hangs}, ECANCELED, 3000, 3000},
      {{hangs, hangs}, ECANCELED, 13000, 13000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    // The resolver thread's answer is awaited in real time; only the connects take virtual time.
    testing::HookedClock clock;
    clock.beforeWait = [&](int) { clock.SetRealPollMs(1000); };
    clock.beforeWaitWritable = [&](int) { clock.SetRealPollMs(1); };
    ScriptedLookup lookup{c.addresses, {}};
    CasterSocket socket;
    const auto stop = [&] { return c.stopAt > 0 && clock.Elapsed() >= c.stopAt; };
    const CasterConnect connect = ConnectToCaster("caster.example", hanging.Port(), socket, clock,
                                                  kCasterConnectLimitMs, stop, lookup.Seam());
    EXPECT_EQ(connect.step, c.error == 0           ? ConnectStep::kConnected
                            : c.error == ECANCELED ? ConnectStep::kStopped
                                                   : ConnectStep::kConnectFailed);
    EXPECT_EQ(connect.error, c.error);
    EXPECT_EQ(clock.Elapsed(), c.ms);
    EXPECT_EQ(connect.peer.Text(), c.error == 0 ? accepts : "?");
    EXPECT_TRUE(socket.IsOpen());  // the caller closes it, by its own rules
  }
}

TEST(ConnectToCaster, ReachesACasterOverIPv6) {
  std::unique_ptr<testing::TlsTestPeer> caster;
  try {
    caster = Accepting("::1", 0);
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  }
  ScriptedLookup lookup{{"::1"}, {}};
  for (const char* address : {"::1", "[::1]", "v6-only.example"}) {
    VirtualClock clock(1000, 1'700'000'000, 1000);
    CasterSocket socket;
    const CasterConnect connect = ConnectToCaster(address, caster->Port(), socket, clock,
                                                  kCasterConnectLimitMs, {}, lookup.Seam());
    EXPECT_EQ(connect.step, ConnectStep::kConnected) << address;
    EXPECT_EQ(connect.peer.Text(), "::1");
  }
  EXPECT_EQ(lookup.asked, Texts{"v6-only.example"});
}

}  // namespace
}  // namespace quillon
