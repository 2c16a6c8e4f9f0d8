#include "net/data_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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
class FakeConnectionManager final : public ConnectionManager {
 public:
  bool loads = true;
  std::set<ConnMgrEntryPoint> missing;
  ManagerResult statusResult = 0;
  std::uint32_t statusValue = 0;
  ManagerResult requestResult = 0;
  ConnectionHandle handleGiven = 0x5150;

  int loadCalls = 0;
  int unloadCalls = 0;
  std::vector<std::string> calls;  // names of the entry points called, in order
  std::optional<ConnectionInfo> requestInfo;
  std::uint32_t requestTimeout = 0;
  std::vector<ConnectionHandle> statusHandles;
  std::vector<std::pair<ConnectionHandle, bool>> releases;

  bool Load() override {
    ++loadCalls;
    return loads;
  }
  void Unload() override { ++unloadCalls; }
  bool HasEntryPoint(ConnMgrEntryPoint entry) override { return !missing.contains(entry); }

  ManagerResult ConnectionStatus(ConnectionHandle connection, std::uint32_t& status) override {
    calls.emplace_back("status");
    statusHandles.push_back(connection);
    status = statusValue;
    return statusResult;
  }
  ManagerResult EstablishConnectionSync(const ConnectionInfo& info, ConnectionHandle& connection,
                                        std::uint32_t timeoutMs, std::uint32_t& status) override {
    calls.emplace_back("request");
    requestInfo = info;
    requestTimeout = timeoutMs;
    if (requestResult >= 0) connection = handleGiven;
    status = requestResult >= 0 ? kConnMgrStatusConnected : 0;
    return requestResult;
  }
  ManagerResult ReleaseConnection(ConnectionHandle connection, bool cache) override {
    calls.emplace_back("release");
    releases.emplace_back(connection, cache);
    return 0;
  }
};

// The address lists of a device, and whether it has an address of its own.
struct AddressCase {
  std::vector<const char*> addresses;
  std::optional<std::string> own;
};

TEST(OwnAddress, OnlyTheFirstByteDecidesAndTheFirstGoodAddressWins) {
  const std::vector<AddressCase> cases = {
      {{"10.1.2.3"}, "10.1.2.3"},
      {{"127.0.0.1", "192.168.55.101"}, std::nullopt},
      {{"169.254.1.1"}, std::nullopt},
      {{"192.0.2.7"}, std::nullopt},  // not private, but its first byte is 192
      {{"255.1.2.3", "127.0.1.1"}, std::nullopt},
      {{"127.0.0.1", "10.0.0.5", "172.16.0.9"}, "10.0.0.5"},
      {{"193.168.0.1"}, "193.168.0.1"},
      {{}, std::nullopt},
  };
  for (const auto& c : cases) {
    const AddressList list = Addresses(c.addresses);
    EXPECT_EQ(FindOwnAddress(list), c.own) << (list.empty() ? "none" : inet_ntoa(list[0]));

    // A connection is asked for exactly when there is no own address.
    RecordingMessageSink sink;
    VirtualClock clock;
    FakeConnectionManager manager;
    CDataConnection connection(sink, clock, [&] { return list; }, &manager);
    connection.EnsureConnected();
    const bool requested = std::count(manager.calls.begin(), manager.calls.end(), "request") > 0;
    EXPECT_EQ(requested, !c.own.has_value());
    EXPECT_TRUE(sink.Boxes().empty());
  }
}

TEST(OwnAddress, InterfaceAddressesIncludeTheLoopback) {
  const AddressList list = InterfaceAddresses();
  const bool hasLoopback = std::any_of(list.begin(), list.end(), [](const in_addr& a) {
    return a.s_addr == htonl(INADDR_LOOPBACK);
  });
  EXPECT_TRUE(hasLoopback);
}

TEST(DataConnection, WithoutAManagerOnlyTheAddressIsLookedAt) {
  RecordingMessageSink sink;
  VirtualClock clock;
  int looks = 0;
  {
    CDataConnection connection(sink, clock, [&] {
      ++looks;
      return Addresses({"127.0.0.1"});
    });
    connection.EnsureConnected();
    connection.Release();
  }
  EXPECT_EQ(looks, 1);
  EXPECT_EQ(clock.Elapsed(), 0u);
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST(DataConnection, AMissingLibraryOrEntryPointIsReportedAndNeverCalled) {
  struct Case {
    bool loads;
    std::set<ConnMgrEntryPoint> missing;
    std::u16string message;
  };
  const std::vector<Case> cases = {
      {false, {}, u"Could not load library: cellcore.dll"},
      {true,
       {ConnMgrEntryPoint::kConnectionStatus, ConnMgrEntryPoint::kReleaseConnection},
       u"Could not get function: ConnMgrConnectionStatus"},
      {true, {ConnMgrEntryPoint::kEstablishConnectionSync},
       u"Could not get function: ConnMgrEstablishConnectionSync"},
      {true, {ConnMgrEntryPoint::kMapURL}, u"Could not get function: ConnMgrMapURL"},
      {true, {ConnMgrEntryPoint::kReleaseConnection},
       u"Could not get function: ConnMgrReleaseConnection"},
  };
  for (const auto& c : cases) {
    RecordingMessageSink sink;
    VirtualClock clock;
    FakeConnectionManager manager;
    manager.loads = c.loads;
    manager.missing = c.missing;
    {
      CDataConnection connection(sink, clock, [] { return Addresses({"127.0.0.1"}); }, &manager);
      connection.EnsureConnected();
      connection.Release();
    }
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), 1u) << "loads " << c.loads;
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(boxes[0].buttons, MessageButtons::kOk);
    EXPECT_TRUE(manager.calls.empty());
    // The library is freed exactly when it was loaded.
    EXPECT_EQ(manager.unloadCalls, c.loads ? 1 : 0);
  }
}

TEST(DataConnection, ConnectedStatusWithoutAddressIsReportedInsteadOfARequest) {
  RecordingMessageSink sink;
  VirtualClock clock;
  FakeConnectionManager manager;
  manager.statusValue = kConnMgrStatusConnected;
  CDataConnection connection(sink, clock, [] { return Addresses({"169.254.3.4"}); }, &manager);
  connection.EnsureConnected();

  EXPECT_EQ(manager.calls, (std::vector<std::string>{"status"}));
  EXPECT_EQ(manager.statusHandles, (std::vector<ConnectionHandle>{0}));
  const auto boxes = sink.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            u"We don't have a valid IP address, yet Connection manager status says we are "
            u"connected.");
  EXPECT_EQ(boxes[0].caption, u"Error");
}

TEST(DataConnection, OnlyASuccessfulStatusQueryCountsAsConnected) {
  RecordingMessageSink sink;
  VirtualClock clock;
  FakeConnectionManager manager;
  manager.statusValue = kConnMgrStatusConnected;
  manager.statusResult = -1;  // the query failed: its status value means nothing
  CDataConnection connection(sink, clock, [] { return AddressList{}; }, &manager);
  connection.EnsureConnected();
  EXPECT_EQ(manager.calls, (std::vector<std::string>{"status", "request"}));
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST(DataConnection, ARequestCarriesTheRecordThenPausesAndLooksAgain) {
  RecordingMessageSink sink;
  VirtualClock clock;
  FakeConnectionManager manager;
  int looks = 0;
  CDataConnection connection(sink, clock, [&] {
    ++looks;
    return Addresses({"127.0.0.1"});
  }, &manager);
  connection.EnsureConnected();

  ASSERT_TRUE(manager.requestInfo.has_value());
  const ConnectionInfo& info = *manager.requestInfo;
  EXPECT_EQ(info.cbSize, 64u);
  EXPECT_EQ(info.dwParams, 1u);
  EXPECT_EQ(info.dwFlags, 1u);
  EXPECT_EQ(info.dwPriority, 0x8000u);
  EXPECT_FALSE(info.bExclusive);
  EXPECT_FALSE(info.bDisabled);
  EXPECT_EQ(info.guidDestNet, kDestNetInternet);
  EXPECT_EQ(info.guidDestNet.data1, 0x436EF144u);
  EXPECT_EQ(info.hWnd, 0u);
  EXPECT_EQ(info.uMsg, 0u);
  EXPECT_EQ(info.lParam, 0);
  EXPECT_EQ(info.ulMaxCost + info.ulMinRcvBw + info.ulMaxConnLatency, 0u);
  EXPECT_EQ(manager.requestTimeout, 60000u);
  EXPECT_EQ(clock.Elapsed(), 2000u);
  EXPECT_EQ(looks, 2);
  EXPECT_TRUE(sink.Boxes().empty());

  // The handle the request gave back is the one released, with caching allowed.
  connection.Release();
  ASSERT_EQ(manager.releases.size(), 1u);
  EXPECT_EQ(manager.releases[0].first, manager.handleGiven);
  EXPECT_TRUE(manager.releases[0].second);
}

TEST(DataConnection, AFailedRequestIsSilentAndNotFollowedByASecondLook) {
  RecordingMessageSink sink;
  VirtualClock clock;
  FakeConnectionManager manager;
  manager.requestResult = -2147467259;  // E_FAIL
  int looks = 0;
  CDataConnection connection(sink, clock, [&] {
    ++looks;
    return AddressList{};
  }, &manager);
  connection.EnsureConnected();
  connection.Release();

  EXPECT_EQ(looks, 1);
  EXPECT_EQ(clock.Elapsed(), 0u);
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_EQ(manager.calls, (std::vector<std::string>{"status", "request", "release"}));
  EXPECT_EQ(manager.releases[0].first, 0u);
}

TEST(DataConnection, ReleaseWithoutARequestHandsBackANullConnection) {
  RecordingMessageSink sink;
  VirtualClock clock;
  FakeConnectionManager manager;
  {
    CDataConnection connection(sink, clock, [] { return Addresses({"10.1.2.3"}); }, &manager);
    connection.EnsureConnected();
    connection.Release();
    EXPECT_EQ(manager.unloadCalls, 0);
  }
  EXPECT_EQ(manager.calls, (std::vector<std::string>{"release"}));
  EXPECT_EQ(manager.releases[0], std::make_pair(ConnectionHandle{0}, true));
  EXPECT_EQ(manager.unloadCalls, 1);
}

}  // namespace
}  // namespace quillon
