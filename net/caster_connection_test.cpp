// Reaching a caster: the lookup, the connect and the send each end at their limit or a stop.
#include "net/caster_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "net/address.h"
#include "ntrip/demo_caster.h"
#include "testing/hooked_clock.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::VirtualClock;

// A socket that listens and never accepts: connects to it complete in the kernel's queue.
class Listener {
 public:
  Listener(std::string_view address, std::uint16_t port) {
    VirtualClock clock;
    const CasterAddress parsed = ResolveCasterAddress(address, clock);
    if (parsed.kind != AddressKind::kResolved) return;
    const IpAddress& ip = parsed.addresses.front();
    sockaddr_storage own = ip.WithPort(port);
    socklen_t length = ip.length;
    fd_ = ::socket(ip.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&own), length) != 0 ||
        ::listen(fd_, 16) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&own), &length)) {
      Close();
      return;
    }
    port_ = ntohs(reinterpret_cast<sockaddr_in*>(&own)->sin_port);  // same place in IPv6
  }
  ~Listener() { Close(); }
  bool Listening() const { return fd_ >= 0; }
  std::uint16_t Port() const { return port_; }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// A resolver double: the addresses it was told, as literals, and the names it was asked.
struct ScriptedLookup {
  explicit ScriptedLookup(std::vector<std::string> addresses = {}) : answer(std::move(addresses)) {}

  std::vector<std::string> answer;
  std::vector<std::string> asked;

  NameLookup Seam() {
    return [this](const std::string& name) {
      asked.push_back(name);
      VirtualClock clock;
      CasterAddress found;
      found.kind = AddressKind::kResolved;
      for (const std::string& literal : answer) {
        found.addresses.push_back(ResolveCasterAddress(literal, clock).addresses.at(0));
      }
      return found;
    };
  }
};

// A virtual clock that waits for the resolver thread's answer in real time (it answers at once)
// and lets connects that hang pass in virtual time, so only the connects take virtual time.
struct ConnectClock {
  ConnectClock() {
    clock.beforeWait = [this](int) { clock.SetRealPollMs(1000); };
    clock.beforeWaitWritable = [this](int) { clock.SetRealPollMs(1); };
  }
  testing::HookedClock clock;
};

std::vector<std::string> Texts(const CasterAddress& address) {
  std::vector<std::string> texts;
  for (const IpAddress& ip : address.addresses) texts.push_back(ip.Text());
  return texts;
}

using Texts_ = std::vector<std::string>;

// Literal addresses are used as they are; everything else, digits first or not, is a name.
TEST(ResolveCasterAddress, LiteralsAreUsedAsTheyAreAndEveryOtherTextIsLookedUp) {
  VirtualClock clock;
  const struct {
    const char* text;
    Texts_ addresses;
  } literals[] = {
      {"127.0.0.1", {"127.0.0.1"}},
      {"10.1", {"10.0.0.1"}},  // inet_addr's short form, as before
      {"::1", {"::1"}},
      {"[2001:db8::1]", {"2001:db8::1"}},
      {"2001:DB8:0:0::7", {"2001:db8::7"}},
      {"fe80::1%lo", {"fe80::1%lo"}},
      {"::ffff:192.0.2.1", {"::ffff:192.0.2.1"}},
  };
  ScriptedLookup lookup;
  for (const auto& c : literals) {
    const CasterAddress found = ResolveCasterAddress(c.text, clock, {}, lookup.Seam());
    EXPECT_EQ(found.kind, AddressKind::kResolved) << c.text;
    EXPECT_EQ(Texts(found), c.addresses) << c.text;
  }
  for (const char* bad : {"192.168.1.300", "255.255.255.255", "", "1.2.3.4.", "1..2", "[1.2.3.4]",
                          "[::1", "2001:db8::g", "caster:2101", "[]"}) {
    EXPECT_EQ(ResolveCasterAddress(bad, clock, {}, lookup.Seam()).kind,
              AddressKind::kInvalidLiteral)
        << bad;
  }
  EXPECT_TRUE(lookup.asked.empty());

  lookup.answer = {"192.0.2.7"};
  clock.SetRealPollMs(1000);  // the lookup thread's answer is waited for in real time
  const Texts_ names = {"1.rtk.example", "4g-caster.example", "1example.com", "1.2.3.4x",
                        "caster.example"};
  for (const std::string& name : names) {
    EXPECT_EQ(Texts(ResolveCasterAddress(name, clock, {}, lookup.Seam())), Texts_{"192.0.2.7"});
  }
  EXPECT_EQ(lookup.asked, names);
}

// The system's lookup: every address, IPv4 and IPv6 alike, each once.
TEST(LookUpHostName, GivesEveryAddressOnceOrTheReason) {
  const CasterAddress local = LookUpHostName("localhost");
  ASSERT_EQ(local.kind, AddressKind::kResolved);
  const Texts_ texts = Texts(local);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "127.0.0.1"), texts.end());
  EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()).size(), texts.size());
  EXPECT_EQ(Texts(LookUpHostName("::1")), Texts_{"::1"});  // IPv6 as well
  const CasterAddress missing = LookUpHostName("no-such-host.invalid");
  EXPECT_EQ(missing.kind, AddressKind::kUnresolved);
  EXPECT_TRUE(missing.addresses.empty());
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

// The caster's addresses in turn, within one limit: on 127.0.0.1 a caster that never accepts,
// on 127.0.0.2 one that does, on 127.0.0.3 nothing (refused at once); all on one port.
TEST(ConnectToCaster, TriesEveryAddressInTurnWithinOneLimit) {
  DemoCaster hanging;
  hanging.StopAccepting();
  Listener accepting("127.0.0.2", hanging.Port());
  ASSERT_TRUE(accepting.Listening());
  const std::string hangs = "127.0.0.1", accepts = "127.0.0.2", refuses = "127.0.0.3";
  const struct {
    const char* name;
    Texts_ addresses;
    ConnectStep step;
    int error;
    std::uint64_t ms;  // virtual time of the connect
  } cases[] = {
      {"the first refuses", {refuses, accepts}, ConnectStep::kConnected, 0, 0},
      {"0.0.0.0 first", {"0.0.0.0", accepts}, ConnectStep::kConnected, 0, 0},
      {"the first hangs for half", {hangs, accepts}, ConnectStep::kConnected, 0, 10000},
      {"two hang for a third each", {hangs, hangs, accepts}, ConnectStep::kConnected, 0, 13333},
      // An even share would be 3333 ms; each hanging one gets 5000, so the sixth is not reached.
      {"five hang",
       {hangs, hangs, hangs, hangs, hangs, accepts},
       ConnectStep::kConnectFailed,
       ETIMEDOUT,
       20000},
      {"all hang", {hangs, hangs}, ConnectStep::kConnectFailed, ETIMEDOUT, 20000},
      {"all refuse", {refuses, refuses}, ConnectStep::kConnectFailed, ECONNREFUSED, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConnectClock timed;
    auto& clock = timed.clock;
    ScriptedLookup lookup(c.addresses);
    CasterSocket socket;
    const CasterConnect connect = ConnectToCaster("caster.example", hanging.Port(), socket, clock,
                                                  kCasterConnectLimitMs, {}, lookup.Seam());
    EXPECT_EQ(connect.step, c.step);
    EXPECT_EQ(connect.error, c.error);
    EXPECT_EQ(clock.Elapsed(), c.ms);
    EXPECT_EQ(connect.peer.Text(), c.step == ConnectStep::kConnected ? accepts : "?");
    EXPECT_EQ(Texts(connect.address), c.addresses);
  }
}

// A stop is seen within a step in the first address's connect and in a later one's.
TEST(ConnectToCaster, AStopEndsTheConnectToAnyOfTheAddresses) {
  DemoCaster hanging;
  hanging.StopAccepting();
  for (const std::uint64_t stopAt : {3000u, 13000u}) {
    ConnectClock timed;
    auto& clock = timed.clock;
    ScriptedLookup lookup({"127.0.0.1", "127.0.0.1"});
    CasterSocket socket;
    const CasterConnect connect = ConnectToCaster(
        "caster.example", hanging.Port(), socket, clock, kCasterConnectLimitMs,
        [&] { return clock.Elapsed() >= stopAt; }, lookup.Seam());
    EXPECT_EQ(connect.step, ConnectStep::kStopped) << stopAt;
    EXPECT_GE(clock.Elapsed(), stopAt);
    EXPECT_LE(clock.Elapsed(), stopAt + kWaitStepMs);
  }
}

// A caster reachable over IPv6 only: by its literal, in brackets or not, and by a name whose
// only address is IPv6.
TEST(ConnectToCaster, ReachesACasterOverIPv6) {
  Listener caster("::1", 0);
  if (!caster.Listening()) GTEST_SKIP() << "no IPv6 loopback on this machine";
  ScriptedLookup lookup({"::1"});
  for (const char* address : {"::1", "[::1]", "v6-only.example"}) {
    SCOPED_TRACE(address);
    VirtualClock clock(1000, 1'700'000'000, 1000);
    CasterSocket socket;
    const CasterConnect connect = ConnectToCaster(address, caster.Port(), socket, clock,
                                                  kCasterConnectLimitMs, {}, lookup.Seam());
    EXPECT_EQ(connect.step, ConnectStep::kConnected);
    EXPECT_EQ(connect.peer.Text(), "::1");
    EXPECT_EQ(connect.peer.Family(), AF_INET6);
  }
  EXPECT_EQ(lookup.asked, Texts_{"v6-only.example"});
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
