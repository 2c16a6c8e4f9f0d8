#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/format.h"
#include "common/settings_record.h"
#include "common/strings.h"
#include "common/wide.h"
#include "demo/demo_caster.h"
#include "ntrip/ntrip_source_table.h"
#include "ntrip/requests.h"
#include "ntrip/source_table_test_names.h"
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using testing::HookedClock;
using testing::Names;
using testing::RecordingMessageSink;

const std::vector<std::string> kNames = {"ALPHA", "BRAVO", "CHARLIE"};
const std::vector<std::string> kFirstTwo = {"ALPHA", "BRAVO"};

DemoCasterConfig Serving(std::string table, bool chunked = false, bool needsLogin = false) {
  DemoCasterConfig config;
  config.sourceTable = std::move(table);
  config.chunkedTables = chunked;
  config.tableNeedsLogin = needsLogin;
  return config;
}

// One fetch from a caster of its own; the failures it shows are in `sink`.
struct Fetch {
  explicit Fetch(int realPollMs = 1000, DemoCasterConfig config = Serving(MakeSourceTable(kNames)))
      : caster(std::move(config)), clock(realPollMs) {}
  TableFetch Run(const TableQuery& query = {}, std::u16string_view address = u"127.0.0.1",
                 std::string* reply = nullptr) {
    return table.GetSourceTable(sink, address, caster.Port(), clock, query, reply);
  }
  // One box, and no names.
  void ExpectError(const std::u16string& text, const std::u16string& detail = {}) const {
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].detail, detail);
    EXPECT_TRUE(boxes[0].caption == u"Error" && boxes[0].icon == MessageIcon::kExclamation);
    EXPECT_EQ(table.GetCount(), 0);
  }

  DemoCaster caster;
  HookedClock clock;
  RecordingMessageSink sink;
  CNtripSourceTable table;
};

// The Source button asks as the saved settings say; a name is looked up, not read as dotted.
TEST(GetSourceTable, TheSettingsChooseTheOneRequest) {
  for (const NtripVersion version : {NtripVersion::k1, NtripVersion::k2}) {
    Fetch fetch;
    SettingsRecord settings;
    SetFieldText(settings.address, u"localhost");
    settings.port = fetch.caster.Port();
    settings.protocol.version = version;
    EXPECT_EQ(fetch.table.GetSourceTable(fetch.sink, settings, fetch.clock).read,
              TableRead::kComplete);
    EXPECT_EQ(Names(fetch.table), kNames);
    ASSERT_EQ(fetch.caster.ConnectionCount(), 1u);
    EXPECT_EQ(fetch.caster.RequestText(0),
              version == NtripVersion::k1
                  ? std::string(kSourceTableRequest)
                  : BuildVersion2SourceTableRequest({"localhost", settings.port, false}, {}));
  }
}

// Far larger than the 100,000 bytes a store once held; NTRIP 2 chunked at random sizes.
TEST(GetSourceTable, AWholeLargeTableGivesItsFirstNamesAfterOneRequest) {
  const std::string large = MakeSourceTable(NumberedMountPoints(3000));
  for (const auto& [version, chunked] :
       {std::pair{NtripVersion::k1, false}, {NtripVersion::k2, true}, {NtripVersion::k2, false}}) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(version) << " chunked " << chunked);
    Fetch fetch(1000, Serving(large, chunked));
    // Each read step takes real time, or a loaded caster could miss the virtual window.
    fetch.clock.beforeSleep = [](int) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    TableQuery query;
    query.protocol.version = version;
    std::string reply;
    const TableFetch result = fetch.Run(query, u"127.0.0.1", &reply);
    EXPECT_TRUE(result.listed && result.read == TableRead::kComplete && result.ending.empty());
    EXPECT_EQ(Names(fetch.table), NumberedMountPoints(256));
    EXPECT_TRUE(reply.ends_with("\r\n\r\n" + large + "ENDSOURCETABLE\r\n"));
    EXPECT_TRUE(fetch.sink.Boxes().empty());
    EXPECT_EQ(fetch.caster.ConnectionCount(), 1u);
  }
}

// A version 2 caster answers the fallback's "HTTP/1.1 200 OK" too (kHttpStatus twice).
TEST(GetSourceTable, AnyOtherFirstAnswerOrAFaultLeadsToTheFallbackOnANewConnection) {
  using enum CasterBehaviour;
  const std::pair<CasterBehaviour, int> cases[] = {{kNotFound, 1},   {kHttpStatus, 1},
                                                   {kHttpStatus, 2}, {kSplitReply, 1},
                                                   {kGarbage, 1},    {kCloseAtOnce, 1}};
  for (const auto& [behaviour, times] : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(behaviour) << " x" << times);
    Fetch fetch;
    fetch.caster.Script(behaviour, times);
    EXPECT_EQ(fetch.Run().read, TableRead::kComplete);
    EXPECT_EQ(Names(fetch.table), kNames);
    EXPECT_TRUE(fetch.sink.Boxes().empty());
    ASSERT_EQ(fetch.caster.ConnectionCount(), 2u);
    EXPECT_EQ(fetch.caster.RequestText(1), kFallbackSourceTableRequest);
  }
  // A fault inside the first attempt counts as a failed attempt too.
  Fetch fetch;
  fetch.clock.beforeSleep = [](int sleep) {
    if (sleep == 1) throw std::runtime_error("fault in the first attempt");
  };
  EXPECT_TRUE(fetch.Run().listed);
  EXPECT_EQ(Names(fetch.table), kNames);
  EXPECT_EQ(fetch.caster.ConnectionCount(), 2u);
}

// The message is the dialog's; the detail says what the caster really did.
TEST(GetSourceTable, WhenBothAttemptsFailTheUserIsToldAndTheTableStaysEmpty) {
  const struct {
    CasterBehaviour behaviour;
    std::u16string detail;
    int realPollMs;  // a caster that never answers needs no real time to be waited for
  } cases[] = {
      {CasterBehaviour::kNotFound, u"The caster replied \"HTTP/1.1 404 Not Found\".", 50},
      {CasterBehaviour::kSilent, u"The caster sent no reply.", 1},
  };
  for (const auto& [behaviour, detail, realPollMs] : cases) {
    SCOPED_TRACE(static_cast<int>(behaviour));
    Fetch fetch(realPollMs);
    fetch.caster.SetDefaultBehaviour(behaviour);
    EXPECT_FALSE(fetch.Run().listed);
    fetch.ExpectError(LoadString(kStrAuthenticationIo), detail);
    EXPECT_EQ(fetch.caster.ConnectionCount(), 2u);
    // Each attempt ends within its wait and window, also when the caster never answers.
    EXPECT_LE(fetch.clock.Elapsed(), 2 * (kFirstReadDelayMs + kTableWindowMs + kReadStepMs));
  }
  // A failed reconnect for the fallback is reported like a failed attempt.
  Fetch fetch(5);
  fetch.caster.Script(CasterBehaviour::kNotFound);
  fetch.clock.beforeSleep = [&](int sleep) {
    if (sleep != 1) return;
    ASSERT_TRUE(fetch.caster.WaitForConnections(1, std::chrono::seconds(10)));
    fetch.caster.StopAccepting();
  };
  EXPECT_FALSE(fetch.Run().listed);
  fetch.ExpectError(LoadString(kStrAuthenticationIo),
                    u"The caster replied \"HTTP/1.1 404 Not Found\".");
  EXPECT_EQ(fetch.caster.ConnectionCount(), 1u);
}

// A table is read once: however it ends, the names of its whole lines are kept, without a box.
TEST(GetSourceTable, ATableThatEndsBadlyKeepsTheNamesThatCameAfterOneRequest) {
  using enum NtripVersion;
  const std::string twoAndACut = MakeSourceTable(kFirstTwo) + "STR;CHARL";
  const std::string hundred = MakeSourceTable(NumberedMountPoints(100));
  const struct {
    CasterBehaviour behaviour;
    std::string table;
    std::size_t limit;
    NtripVersion version;
    bool chunked;
    TableRead read;
    std::vector<std::string> names;
  } cases[] = {
      {CasterBehaviour::kTableCut, twoAndACut, kReplyStoreLimit, k1, false, TableRead::kClosedEarly,
       kFirstTwo},
      {CasterBehaviour::kTableCut, twoAndACut, kReplyStoreLimit, k2, true, TableRead::kClosedEarly,
       kFirstTwo},
      // The limit made small: the status line, headers, CAS record and two STR records fit.
      {CasterBehaviour::kNormal, hundred, 450, k1, false, TableRead::kTooLarge, {"MP000", "MP001"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.read) << " over " << (&c - cases));
    Fetch fetch(50, Serving(c.table, c.chunked));
    fetch.caster.Script(c.behaviour);
    std::string reply;
    const TableFetch result =
        fetch.Run({std::nullopt, c.limit, {c.version, false, ""}, false}, u"127.0.0.1", &reply);
    EXPECT_EQ(result.read, c.read);
    EXPECT_TRUE(result.listed);
    EXPECT_EQ(result.ending, DescribeTableRead(c.read, reply, c.limit));
    EXPECT_FALSE(result.ending.empty());
    EXPECT_EQ(Names(fetch.table), c.names);
    EXPECT_TRUE(reply.ends_with(MakeStrRecord(c.names.back()) + "\r\n"));
    EXPECT_TRUE(fetch.sink.Boxes().empty());
    EXPECT_EQ(fetch.caster.ConnectionCount(), 1u);
  }
  // Without a name there is nothing to take: today's box, with how the table ended.
  Fetch fetch(1000, Serving("STR;CUT"));
  fetch.caster.Script(CasterBehaviour::kTableCut);
  const TableFetch result = fetch.Run();
  EXPECT_EQ(result.read, TableRead::kClosedEarly);
  EXPECT_FALSE(result.listed);
  fetch.ExpectError(LoadString(kStrAuthenticationIo),
                    u"The caster closed the connection before the end of its source table.");
  EXPECT_EQ(fetch.caster.ConnectionCount(), 1u);
}

// Credentials encoded with: printf 'demo:demo' | base64. Version 1 asks the fallback once more,
// with the same login; version 2 asks once.
TEST(GetSourceTable, AProtectedTableNeedsTheLoginAndSaysSoInOneLine) {
  const std::string header = "Authorization: Basic ZGVtbzpkZW1v\r\n";
  const std::u16string needed =
      u"The caster's source table needs a login (a user name and password).";
  const TableLogin demo{"demo", "demo"};
  const struct {
    NtripVersion version;
    std::optional<TableLogin> login;
    std::u16string box;  // empty: the table came
    std::string request;
  } cases[] = {
      {NtripVersion::k1, std::nullopt, needed, std::string(kSourceTableRequest)},
      {NtripVersion::k1, TableLogin{"demo", "wrong"},
       u"The caster refused the user name and password for its source table.", ""},
      {NtripVersion::k1, demo, u"", "GET /SOURCETABLE HTTP/1.0\r\n" + header + "\r\n"},
      {NtripVersion::k2, std::nullopt, needed, ""},
      {NtripVersion::k2, demo, u"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (&c - cases));
    Fetch fetch(50, Serving(MakeSourceTable(kNames), true, true));
    TableQuery query;
    query.login = c.login;
    query.protocol.version = c.version;
    const TableFetch result = fetch.Run(query);
    const std::size_t requests = c.box.empty() || c.version == NtripVersion::k2 ? 1 : 2;
    ASSERT_EQ(fetch.caster.ConnectionCount(), requests);
    for (std::size_t i = 0; i < requests; ++i) {
      EXPECT_EQ(fetch.caster.RequestText(i).find("Authorization: Basic ") != std::string::npos,
                c.login.has_value());
    }
    if (!c.request.empty()) {
      EXPECT_EQ(fetch.caster.RequestText(0), c.request);
    }
    if (c.box.empty()) {
      EXPECT_TRUE(result.listed);
      EXPECT_EQ(Names(fetch.table), kNames);
      EXPECT_TRUE(fetch.sink.Boxes().empty());
      continue;
    }
    EXPECT_EQ(result.read, TableRead::kLoginNeeded);
    fetch.ExpectError(c.box);
  }
}

// A refusal says the library's reason.
TEST(GetSourceTable, OverTlsTheTableComesThroughTheCertificateCheck) {
  const testing::TestCertificates certificates = testing::MakeTestCertificates();
  testing::TempFolder folder;
  const std::filesystem::path authority = folder.Path() / "authority.pem";
  testing::WritePem(authority, certificates.authority);
  for (const bool forTheName : {true, false}) {
    SCOPED_TRACE(forTheName);
    Fetch fetch(50, Serving(MakeSourceTable(kNames), true));
    testing::TlsPeerConfig front;
    front.identity = forTheName ? certificates.localhost : certificates.wrongName;
    front.behaviour = testing::PeerBehaviour::kForward;
    front.forwardPort = fetch.caster.Port();
    testing::TlsTestPeer peer(front);
    TableQuery query;
    query.protocol = {NtripVersion::k2, true, authority.string()};
    EXPECT_EQ(fetch.table.GetSourceTable(fetch.sink, u"localhost", peer.Port(), fetch.clock, query)
                  .listed,
              forTheName);
    EXPECT_EQ(Names(fetch.table), forTheName ? kNames : std::vector<std::string>{});
    const auto boxes = fetch.sink.Boxes();
    ASSERT_EQ(boxes.size(), forTheName ? 0u : 1u);
    if (!forTheName) {
      EXPECT_TRUE(boxes[0].text.starts_with(u"The caster's certificate was not accepted: "));
    }
  }
}

TEST(GetSourceTable, EachFailureBeforeARequestHasItsMessage) {
  for (const char16_t* address : {u"192.168.1.300", u""}) {
    Fetch fetch;
    EXPECT_FALSE(fetch.Run({}, address).listed);
    fetch.ExpectError(u"Does not appear to be a valid address?");
    EXPECT_EQ(fetch.caster.ConnectionCount(), 0u);
  }
  {
    Fetch fetch;
    EXPECT_FALSE(fetch.Run({}, u"1nowhere.invalid").listed);  // a name, though it begins with 1
    fetch.ExpectError(LoadString(kStrAuthenticationIo),
                      u"The host name \"1nowhere.invalid\" did not resolve.");
  }
  {
    Fetch fetch;
    fetch.caster.Stop();
    EXPECT_FALSE(fetch.Run().listed);
    fetch.ExpectError(FormatText(LoadString(kStrConnectionError), {u"Connection refused"}));
  }
  {
    Fetch fetch(1);
    fetch.caster.StopAccepting();
    EXPECT_FALSE(fetch.Run().listed);
    fetch.ExpectError(FormatText(LoadString(kStrConnectionError), {u"Connection timed out"}));
    EXPECT_EQ(fetch.clock.Elapsed(), kTableWindowMs);
  }
}

}  // namespace
}  // namespace quillon
