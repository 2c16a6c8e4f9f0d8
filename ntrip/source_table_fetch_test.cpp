#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/format.h"
#include "common/strings.h"
#include "common/wide.h"
#include "ntrip/demo_caster.h"
#include "ntrip/ntrip_source_table.h"
#include "ntrip/requests.h"
#include "ntrip/source_table_text.h"
#include "rover/rover_settings.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using testing::HookedClock;
using testing::RecordingMessageSink;

const std::vector<std::string> kNames = {"ALPHA", "BRAVO", "CHARLIE"};

std::vector<std::string> Names(const CNtripSourceTable& table) {
  std::vector<std::string> names;
  for (int i = 0; i < table.GetCount(); ++i) {
    MountPointSlot slot;
    names.emplace_back(table.GetMountPoint(i, &slot)->data());
  }
  return names;
}

// One fetch from a caster of its own; the failures it shows are in `sink`.
struct Fetch {
  explicit Fetch(int realPollMs = 1000) : clock(realPollMs) {
    caster.SetSourceTable(MakeSourceTable(kNames));
  }
  TableFetch Run(std::u16string_view address = u"127.0.0.1", const TableQuery& query = {},
                 std::string* reply = nullptr) {
    return table.GetSourceTable(sink, address, caster.Port(), clock, query, reply);
  }
  void ExpectBox(const std::u16string& text, const std::u16string& detail = {}) const {
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].detail, detail);
    EXPECT_TRUE(boxes[0].caption == u"Error" && boxes[0].icon == MessageIcon::kExclamation);
  }
  // A box, and no names.
  void ExpectError(const std::u16string& text, const std::u16string& detail = {}) const {
    ExpectBox(text, detail);
    EXPECT_EQ(table.GetCount(), 0);
  }

  DemoCaster caster;
  HookedClock clock;
  RecordingMessageSink sink;
  CNtripSourceTable table;
};

TEST(GetSourceTable, ACasterThatAnswersGivesItsNamesAfterOneRequest) {
  Fetch fetch;
  RoverSettings settings;
  SetFieldText(settings.address, u"localhost");  // a name: looked up, not read as dotted
  settings.port = fetch.caster.Port();
  EXPECT_EQ(fetch.table.GetSourceTable(fetch.sink, settings, fetch.clock).read,
            TableRead::kComplete);
  EXPECT_EQ(Names(fetch.table), kNames);
  ASSERT_EQ(fetch.caster.ConnectionCount(), 1u);
  EXPECT_EQ(fetch.caster.RequestText(0), kSourceTableRequest);

  // More than 256 records, in a table far larger than the 100,000 bytes a store once held.
  const std::string large = MakeSourceTable(NumberedMountPoints(5000));
  fetch.caster.SetSourceTable(large);
  std::string reply;
  const TableFetch whole = fetch.Run(u"127.0.0.1", {}, &reply);
  EXPECT_TRUE(whole.listed && whole.read == TableRead::kComplete && whole.ending.empty());
  EXPECT_EQ(Names(fetch.table), NumberedMountPoints(256));
  EXPECT_NE(reply.find(large), std::string::npos);
  EXPECT_TRUE(fetch.sink.Boxes().empty());
}

TEST(GetSourceTable, AnyOtherFirstAnswerOrAFaultLeadsToTheFallbackOnANewConnection) {
  using enum CasterBehaviour;
  for (const auto behaviour : {kNotFound, kHttpStatus, kSplitReply, kGarbage, kCloseAtOnce}) {
    SCOPED_TRACE(static_cast<int>(behaviour));
    Fetch fetch;
    fetch.caster.Script(behaviour);
    EXPECT_TRUE(fetch.Run().listed);
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
  } cases[] = {
      {CasterBehaviour::kNotFound, u"The caster replied \"HTTP/1.1 404 Not Found\"."},
      {CasterBehaviour::kSilent, u"The caster sent no reply."},
  };
  for (const auto& [behaviour, detail] : cases) {
    SCOPED_TRACE(static_cast<int>(behaviour));
    Fetch fetch(50);
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

// A table is read once: whatever way it ends, the names of its whole lines are kept, no box is
// shown while there are any, and no second request downloads it again.
TEST(GetSourceTable, ATableThatEndsBadlyKeepsTheNamesThatCameAfterOneRequest) {
  const std::string twoAndACut = MakeSourceTable({"ALPHA", "BRAVO"}) + "STR;CHARL";
  const struct {
    CasterBehaviour behaviour;
    std::string table;
    std::size_t limit;
    TableRead read;
    std::vector<std::string> names;
  } cases[] = {
      {CasterBehaviour::kTableCut,
       twoAndACut,
       kReplyStoreLimit,
       TableRead::kClosedEarly,
       {"ALPHA", "BRAVO"}},
      {CasterBehaviour::kTableNeverEnds,
       twoAndACut,
       kReplyStoreLimit,
       TableRead::kTimedOut,
       {"ALPHA", "BRAVO"}},
      {CasterBehaviour::kNormal,
       MakeSourceTable({"ALPHA", "BRAVO"}) + "STR;CH\0ARLIE;\r\n"s + MakeStrRecord("DELTA") +
           "\r\n",
       kReplyStoreLimit,
       TableRead::kNulByte,
       {"ALPHA", "BRAVO"}},
      // The limit made small: the status line, headers, CAS record and two STR records fit.
      {CasterBehaviour::kNormal,
       MakeSourceTable(NumberedMountPoints(100)),
       450,
       TableRead::kTooLarge,
       {"MP000", "MP001"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.read));
    Fetch fetch(50);
    fetch.caster.SetSourceTable(c.table);
    fetch.caster.Script(c.behaviour);
    std::string reply;
    const TableFetch result = fetch.Run(u"127.0.0.1", {std::nullopt, c.limit, {}, false}, &reply);
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
  Fetch fetch;
  fetch.caster.SetSourceTable("STR;CUT");
  fetch.caster.Script(CasterBehaviour::kTableCut);
  const TableFetch result = fetch.Run();
  EXPECT_EQ(result.read, TableRead::kClosedEarly);
  EXPECT_FALSE(result.listed);
  fetch.ExpectError(LoadString(kStrAuthenticationIo),
                    u"The caster closed the connection before the end of its source table.");
  EXPECT_EQ(fetch.caster.ConnectionCount(), 1u);
}

// A version 2 caster answers the fallback "HTTP/1.1 200 OK" with the table as its body.
TEST(GetSourceTable, TheFallbacksHttpAnswerIsATable) {
  Fetch fetch;
  fetch.caster.Script(CasterBehaviour::kHttpStatus, 2);
  const TableFetch result = fetch.Run();
  EXPECT_EQ(result.read, TableRead::kComplete);
  EXPECT_EQ(Names(fetch.table), kNames);
  EXPECT_TRUE(fetch.sink.Boxes().empty());
  ASSERT_EQ(fetch.caster.ConnectionCount(), 2u);
  EXPECT_EQ(fetch.caster.RequestText(1), kFallbackSourceTableRequest);
}

// Credentials encoded with: printf 'demo:demo' | base64
TEST(GetSourceTable, AProtectedTableNeedsTheLoginAndSaysSoInOneLine) {
  const std::string header = "Authorization: Basic ZGVtbzpkZW1v\r\n";
  const struct {
    std::optional<TableLogin> login;
    std::u16string box;  // empty: the table came
  } cases[] = {
      {std::nullopt, u"The caster's source table needs a login (a user name and password)."},
      {TableLogin{"demo", "wrong"},
       u"The caster refused the user name and password for its source table."},
      {TableLogin{"demo", "demo"}, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.box.begin(), c.box.end()));
    DemoCasterConfig config;
    config.tableNeedsLogin = true;
    config.sourceTable = MakeSourceTable(kNames);
    DemoCaster caster(config);
    HookedClock clock;
    RecordingMessageSink sink;
    CNtripSourceTable table;
    const TableFetch result = table.GetSourceTable(sink, u"127.0.0.1", caster.Port(), clock,
                                                   {c.login, kReplyStoreLimit, {}, false});
    const auto boxes = sink.Boxes();
    if (c.box.empty()) {
      EXPECT_TRUE(result.listed);
      EXPECT_EQ(Names(table), kNames);
      EXPECT_TRUE(boxes.empty());
      ASSERT_EQ(caster.ConnectionCount(), 1u);
      EXPECT_EQ(caster.RequestText(0), "GET /SOURCETABLE HTTP/1.0\r\n" + header + "\r\n");
      continue;
    }
    EXPECT_FALSE(result.listed);
    EXPECT_EQ(result.read, TableRead::kLoginNeeded);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.box);
    EXPECT_EQ(boxes[0].detail, u"");
    EXPECT_EQ(table.GetCount(), 0);
    // The fallback asks once more, with the same login.
    ASSERT_EQ(caster.ConnectionCount(), 2u);
    EXPECT_EQ(caster.RequestText(1).find("Authorization: ") != std::string::npos,
              c.login.has_value());
  }
}

// NTRIP 2: one "GET /" request, answered "HTTP/1.1 200 OK" with the table chunked at random
// sizes or under a Content-Length; the names and the reply's records are the same either way.
TEST(GetSourceTable, OverNtrip2TheTableComesChunkedOrWithItsLengthAfterOneRequest) {
  const std::string large = MakeSourceTable(NumberedMountPoints(3000));
  for (const bool chunked : {true, false}) {
    SCOPED_TRACE(chunked);
    DemoCasterConfig config;
    config.chunkedTables = chunked;
    config.sourceTable = large;
    DemoCaster caster(config);
    HookedClock clock;
    RecordingMessageSink sink;
    CNtripSourceTable table;
    TableQuery query;
    query.protocol.version = NtripVersion::k2;
    std::string reply;
    const TableFetch result =
        table.GetSourceTable(sink, u"127.0.0.1", caster.Port(), clock, query, &reply);
    EXPECT_EQ(result.read, TableRead::kComplete);
    EXPECT_TRUE(result.listed);
    EXPECT_EQ(Names(table), NumberedMountPoints(256));
    EXPECT_TRUE(reply.ends_with("\r\n\r\n" + large + "ENDSOURCETABLE\r\n"));
    EXPECT_TRUE(sink.Boxes().empty());
    ASSERT_EQ(caster.ConnectionCount(), 1u);
    EXPECT_EQ(caster.RequestText(0),
              BuildVersion2SourceTableRequest({"127.0.0.1", caster.Port(), false}, std::nullopt));
  }
}

// The version 1 endings hold for version 2 tables, a login works the same, and a refusal asks
// no second time.
TEST(GetSourceTable, OverNtrip2ATableEndsAndIsRefusedAsOverNtrip1) {
  using enum CasterBehaviour;
  const struct {
    CasterBehaviour behaviour;
    bool chunked;
    bool needsLogin;
    std::optional<TableLogin> login;
    TableRead read;
    std::vector<std::string> names;
    std::u16string box;
  } cases[] = {
      {kTableCut, true, false, std::nullopt, TableRead::kClosedEarly, {"ALPHA", "BRAVO"}, u""},
      {kTableCut, false, false, std::nullopt, TableRead::kClosedEarly, {"ALPHA", "BRAVO"}, u""},
      {kTableNeverEnds, true, false, std::nullopt, TableRead::kTimedOut, {"ALPHA", "BRAVO"}, u""},
      {kNormal,
       true,
       true,
       std::nullopt,
       TableRead::kLoginNeeded,
       {},
       u"The caster's source table needs a login (a user name and password)."},
      {kNormal,
       true,
       true,
       TableLogin{"demo", "demo"},
       TableRead::kComplete,
       {"ALPHA", "BRAVO", "CHARLIE"},
       u""},
      {kNotFound,
       true,
       false,
       std::nullopt,
       TableRead::kNotATable,
       {},
       LoadString(kStrAuthenticationIo)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.read));
    DemoCasterConfig config;
    config.chunkedTables = c.chunked;
    config.tableNeedsLogin = c.needsLogin;
    config.sourceTable = c.read == TableRead::kComplete || c.needsLogin || c.behaviour == kNotFound
                             ? MakeSourceTable(kNames)
                             : MakeSourceTable({"ALPHA", "BRAVO"}) + "STR;CHARL";
    DemoCaster caster(config);
    caster.Script(c.behaviour);
    HookedClock clock(50);
    RecordingMessageSink sink;
    CNtripSourceTable table;
    TableQuery query;
    query.login = c.login;
    query.protocol.version = NtripVersion::k2;
    const TableFetch result = table.GetSourceTable(sink, u"127.0.0.1", caster.Port(), clock, query);
    EXPECT_EQ(result.read, c.read);
    EXPECT_EQ(Names(table), c.names);
    const auto boxes = sink.Boxes();
    EXPECT_EQ(boxes.empty() ? std::u16string() : boxes[0].text, c.box);
    EXPECT_EQ(caster.ConnectionCount(), 1u);
  }
}

// Over TLS the table comes only through a certificate issued for the caster's name, and a
// refusal says the library's reason.
TEST(GetSourceTable, OverTlsTheTableComesThroughTheCertificateCheck) {
  const testing::TestCertificates certificates = testing::MakeTestCertificates();
  testing::TempFolder folder;
  const std::filesystem::path authority = folder.Path() / "authority.pem";
  testing::WritePem(authority, certificates.authority);
  DemoCasterConfig config;
  config.chunkedTables = true;
  config.sourceTable = MakeSourceTable(kNames);
  DemoCaster caster(config);
  for (const bool forTheName : {true, false}) {
    SCOPED_TRACE(forTheName);
    testing::TlsPeerConfig front;
    front.identity = forTheName ? certificates.localhost : certificates.wrongName;
    front.behaviour = testing::PeerBehaviour::kForward;
    front.forwardPort = caster.Port();
    testing::TlsTestPeer peer(front);
    HookedClock clock(50);
    RecordingMessageSink sink;
    CNtripSourceTable table;
    TableQuery query;
    query.protocol = {NtripVersion::k2, true, authority.string()};
    EXPECT_EQ(table.GetSourceTable(sink, u"localhost", peer.Port(), clock, query).listed,
              forTheName);
    EXPECT_EQ(Names(table), forTheName ? kNames : std::vector<std::string>{});
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), forTheName ? 0u : 1u);
    if (!forTheName) {
      EXPECT_TRUE(boxes[0].text.starts_with(u"The caster's certificate was not accepted: "));
    }
  }
}

// The dialog's Source button asks as the saved settings say.
TEST(GetSourceTable, TheSettingsProtocolChoosesTheRequest) {
  Fetch fetch;
  RoverSettings settings;
  SetFieldText(settings.address, u"127.0.0.1");
  settings.port = fetch.caster.Port();
  settings.protocol.version = NtripVersion::k2;
  EXPECT_EQ(fetch.table.GetSourceTable(fetch.sink, settings, fetch.clock).read,
            TableRead::kComplete);
  EXPECT_EQ(Names(fetch.table), kNames);
  ASSERT_EQ(fetch.caster.ConnectionCount(), 1u);
  EXPECT_TRUE(fetch.caster.RequestText(0).starts_with("GET / HTTP/1.1\r\nHost: 127.0.0.1:"));
}

TEST(GetSourceTable, EachFailureBeforeARequestHasItsMessage) {
  const std::u16string invalid = u"Does not appear to be a valid address?";
  for (const char16_t* address : {u"192.168.1.300", u"2001:db8::g", u""}) {
    Fetch fetch;
    EXPECT_FALSE(fetch.Run(address).listed);
    fetch.ExpectError(invalid);
    EXPECT_EQ(fetch.caster.ConnectionCount(), 0u);
  }
  {
    Fetch fetch;
    EXPECT_FALSE(fetch.Run(u"1nowhere.invalid").listed);  // a name, though it begins with 1
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
