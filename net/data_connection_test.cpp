#include "net/data_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "testing/recording_message_sink.h"
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

// A connection manager with scripted answers that records every call.
struct FakeConnectionManager final : ConnectionManager {
  bool loads = true;
  std::set<ConnMgrEntryPoint> missing;
  ManagerResult statusResult = 0;
  std::uint32_t statusValue = 0;
  ManagerResult requestResult = 0;
  int unloads = 0;
  std::vector<std::string> calls;
  std::vector<ConnectionHandle> released;

  bool Load() override { return loads; }
  void Unload() override { ++unloads; }
  bool HasEntryPoint(ConnMgrEntryPoint entry) override { return !missing.contains(entry); }
  ManagerResult ConnectionStatus(ConnectionHandle, std::uint32_t& status) override {
    calls.emplace_back("status");
    status = statusValue;
    return statusResult;
  }
  ManagerResult EstablishConnectionSync(const ConnectionInfo&, ConnectionHandle& connection,
                                        std::uint32_t, std::uint32_t&) override {
    calls.emplace_back("request");
    if (requestResult >= 0) connection = 0x5150;
    return requestResult;
  }
  ManagerResult ReleaseConnection(ConnectionHandle connection, bool cache) override {
    calls.emplace_back(cache ? "release cached" : "release");
    released.push_back(connection);
    return 0;
  }
};

TEST(OwnAddress, OnlyTheFirstByteDecidesAndTheFirstGoodAddressWins) {
  struct Case {
    std::vector<const char*> addresses;
    std::optional<std::string> own;
  };
  const std::vector<Case> cases = {
      {{"10.1.2.3"}, "10.1.2.3"},
      {{"127.0.0.1", "192.168.55.101"}, std::nullopt},
      {{"169.254.1.1"}, std::nullopt},
      {{"192.0.2.7"}, std::nullopt},  // not private, but its first byte is 192
      {{"255.1.2.3"}, std::nullopt},
      {{"127.0.0.1", "10.0.0.5", "172.16.0.9"}, "10.0.0.5"},
      {{}, std::nullopt},
  };
  for (const auto& c : cases) {
    const AddressList list = Addresses(c.addresses);
    EXPECT_EQ(FindOwnAddress(list), c.own) << (c.own ? *c.own : "none");
    // A connection is asked for exactly when there is no own address.
    RecordingMessageSink sink;
    VirtualClock clock;
    FakeConnectionManager manager;
    CDataConnection connection(sink, clock, [&] { return list; }, &manager);
    connection.EnsureConnected();
    EXPECT_EQ(std::count(manager.calls.begin(), manager.calls.end(), "request"), c.own ? 0 : 1);
    EXPECT_TRUE(sink.Boxes().empty());
  }

  // Without a manager, as on Linux, nothing is shown and nothing is waited for.
  RecordingMessageSink sink;
  VirtualClock clock;
  CDataConnection plain(sink, clock, [] { return AddressList{}; });
  plain.EnsureConnected();
  plain.Release();
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_EQ(clock.Elapsed(), 0u);

  const AddressList mine = InterfaceAddresses();
  EXPECT_TRUE(std::any_of(mine.begin(), mine.end(), [](const in_addr& a) {
    return a.s_addr == htonl(INADDR_LOOPBACK);
  }));
}

TEST(DataConnection, AMissingLibraryOrEntryPointIsReportedAndNeverCalled) {
  struct Case {
    bool loads;
    std::set<ConnMgrEntryPoint> missing;
    std::u16string message;
  };
  using enum ConnMgrEntryPoint;
  const std::vector<Case> cases = {
      {false, {}, u"Could not load library: cellcore.dll"},
      {true, {kConnectionStatus, kReleaseConnection},
       u"Could not get function: ConnMgrConnectionStatus"},
      {true, {kEstablishConnectionSync}, u"Could not get function: ConnMgrEstablishConnectionSync"},
      {true, {kMapURL}, u"Could not get function: ConnMgrMapURL"},
      {true, {kReleaseConnection}, u"Could not get function: ConnMgrReleaseConnection"},
  };
  for (const auto& c : cases) {
    RecordingMessageSink sink;
    VirtualClock clock;
    FakeConnectionManager manager;
    manager.loads = c.loads;
    manager.missing = c.missing;
    {
      CDataConnection connection(sink, clock, [] { return AddressList{}; }, &manager);
      connection.EnsureConnected();
      connection.Release();
    }
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].icon, MessageIcon::kExclamation);
    EXPECT_TRUE(manager.calls.empty());
    EXPECT_EQ(manager.unloads, c.loads ? 1 : 0);
  }
}

TEST(DataConnection, BringUpWhenTheDeviceHasNoAddress) {
  struct Case {
    const char* name;
    ManagerResult statusResult;
    std::uint32_t statusValue;
    ManagerResult requestResult;
    std::vector<std::string> calls;  // EnsureConnected, then Release
    int looks;                       // own-address checks
    std::uint64_t paused;
    bool message;
    ConnectionHandle released;
  };
  const std::vector<Case> cases = {
      {"request granted", 0, 0, 0, {"status", "request", "release cached"}, 2, 2000, false,
       0x5150},
      {"request refused", 0, 0, -1, {"status", "request", "release cached"}, 1, 0, false, 0},
      {"connected without address", 0, kConnMgrStatusConnected, 0, {"status", "release cached"},
       1, 0, true, 0},
      {"failed status query", -1, kConnMgrStatusConnected, 0,
       {"status", "request", "release cached"}, 2, 2000, false, 0x5150},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessageSink sink;
    VirtualClock clock;
    FakeConnectionManager manager;
    manager.statusResult = c.statusResult;
    manager.statusValue = c.statusValue;
    manager.requestResult = c.requestResult;
    int looks = 0;
    CDataConnection connection(sink, clock, [&] {
      ++looks;
      return Addresses({"127.0.0.1"});
    }, &manager);
    connection.EnsureConnected();
    connection.Release();
    EXPECT_EQ(manager.calls, c.calls);
    EXPECT_EQ(looks, c.looks);
    EXPECT_EQ(clock.Elapsed(), c.paused);
    EXPECT_EQ(manager.released, std::vector<ConnectionHandle>{c.released});
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(boxes[0].text,
                u"We don't have a valid IP address, yet Connection manager status says we are "
                u"connected.");
    }
  }
}

}  // namespace
}  // namespace quillon
