#include "net/data_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testing/recording_message_sink.h"
#include "testing/scripted_connection_manager.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::RecordingMessageSink;
using testing::VirtualClock;

AddressList Addresses(const std::vector<const char*>& dotted) {
  AddressList list;
  for (const char* text : dotted) {
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    list.push_back(address);
  }
  return list;
}

TEST(OwnAddress, OnlyTheFirstByteDecidesAndTheFirstGoodAddressWins) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"10.1.2.3"}, "10.1.2.3"},
      {{"127.0.0.1", "192.168.55.101"}, nullptr},
      {{"169.254.1.1"}, nullptr},
      {{"192.0.2.7"}, nullptr},  // not private, but its first byte is 192
      {{"255.1.2.3"}, nullptr},
      {{"127.0.0.1", "10.0.0.5", "172.16.0.9"}, "10.0.0.5"},
      {{}, nullptr},
  };
  for (const auto& [addresses, own] : cases) {
    const AddressList list = Addresses(addresses);
    EXPECT_EQ(FindOwnAddress(list), own ? std::optional<std::string>(own) : std::nullopt);
  }
  const AddressList mine = InterfaceAddresses();
  EXPECT_TRUE(std::any_of(mine.begin(), mine.end(),
                          [](const in_addr& a) { return a.s_addr == htonl(INADDR_LOOPBACK); }));
}

// Without a manager (Linux) nothing happens; one missing a part is reported and never called.
TEST(DataConnection, BringUpWhenTheDeviceHasNoAddress) {
  using enum ConnMgrEntryPoint;
  const std::u16string connectedWithout =
      u"We don't have a valid IP address, yet Connection manager status says we are connected.";
  const std::vector<std::string> granted = {"status", "request", "release cached 7"};
  const struct {
    const char* name;
    bool present = true, loads = true;
    const char* address = "127.0.0.1";
    std::set<ConnMgrEntryPoint> missing = {};
    ManagerResult statusResult = 0;
    std::uint32_t statusValue = 0;
    ManagerResult requestResult = 0;
    std::vector<std::string> calls = {};  // EnsureConnected, then Release
    int looks = 1;                        // own-address checks
    std::uint64_t paused = 0;
    std::u16string message = u"";
  } cases[] = {
      {.name = "no manager", .present = false},
      {.name = "own address", .address = "10.0.0.5", .calls = {"release cached 0"}},
      {.name = "no library", .loads = false, .message = u"Could not load library: cellcore.dll"},
      {.name = "two entry points missing",
       .missing = {kConnectionStatus, kReleaseConnection},
       .message = u"Could not get function: ConnMgrConnectionStatus"},
      {.name = "the one never called missing",
       .missing = {kMapURL},
       .message = u"Could not get function: ConnMgrMapURL"},
      {.name = "request granted", .calls = granted, .looks = 2, .paused = 2000},
      {.name = "request refused",
       .requestResult = -1,
       .calls = {"status", "request", "release cached 0"}},
      {.name = "connected without address",
       .statusValue = kConnMgrStatusConnected,
       .calls = {"status", "release cached 0"},
       .message = connectedWithout},
      {.name = "failed status query",
       .statusResult = -1,
       .statusValue = kConnMgrStatusConnected,
       .calls = granted,
       .looks = 2,
       .paused = 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessageSink sink;
    VirtualClock clock;
    testing::ScriptedConnectionManager manager;
    manager.loads = c.loads;
    manager.missing = c.missing;
    manager.statusResult = c.statusResult;
    manager.statusValue = c.statusValue;
    manager.requestResult = c.requestResult;
    int looks = 0;
    const auto addresses = [&] {
      ++looks;
      return Addresses({c.address});
    };
    {
      CDataConnection connection(sink, clock, addresses, c.present ? &manager : nullptr);
      connection.EnsureConnected();
      connection.Release();
    }
    std::vector<std::string> calls = c.calls;
    if (c.present && c.loads) calls.emplace_back("unload");  // once, after a load
    EXPECT_EQ(manager.calls, calls);
    EXPECT_EQ(looks, c.looks);
    EXPECT_EQ(clock.Elapsed(), c.paused);
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
    if (c.message.empty()) continue;
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].icon, MessageIcon::kExclamation);
  }
}

}  // namespace
}  // namespace quillon
