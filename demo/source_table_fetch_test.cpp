#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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
#include "testing/authority_file.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon {
namespace {

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

// How a fetch from a caster that behaves as a row says ends: a version 1 fetch that gets no
// table asks once more with the fallback request on a new connection, with the same login; a
// table is read once, and however it ends the names of its whole lines are kept without a box;
// each failure before a request has its message. Credentials: printf 'demo:demo' | base64.
TEST(GetSourceTable, EndsAsTheCasterBehaves) {
  using enum CasterBehaviour;
  const std::u16string io = LoadString(kStrAuthenticationIo);
  const std::u16string notFound = u"The caster replied \"HTTP/1.1 404 Not Found\".";
  const std::u16string connectError = LoadString(kStrConnectionError);
  const TableQuery v2{std::nullopt, kReplyStoreLimit, {NtripVersion::k2, false, ""}, false};
  TableQuery v2Login = v2;
  v2Login.login = TableLogin{"demo", "demo"};
  const TableQuery wrongLogin{TableLogin{"demo", "wrong"}, kReplyStoreLimit, {}, false};
  const TableQuery small{std::nullopt, 450, {}, false};
  const std::string twoAndACut = MakeSourceTable(kFirstTwo) + "STR;CHARL";
  const std::string fallback(kFallbackSourceTableRequest);
  const struct {
    const char* name;
    DemoCasterConfig config = Serving(MakeSourceTable(kNames));
    std::function<void(Fetch&)> prepare = [](Fetch&) {};
    TableQuery query = {};
    std::u16string address = u"127.0.0.1";
    int realPollMs = 50;
    // What came of it.
    std::optional<TableRead> read = std::nullopt;
    std::vector<std::string> names = {};
    std::u16string box = u"";  // none when empty
    std::u16string detail = u"";
    std::size_t connections = 1;
    std::string lastRequest = "";  // unless empty: the text of the last request
    std::uint64_t ms = 0;          // unless 0: the virtual time the fetch took
  } cases[] = {
      {.name = "404", .prepare = [](Fetch& f) { f.caster.Script(kNotFound); },
       .read = TableRead::kComplete, .names = kNames, .connections = 2, .lastRequest = fallback},
      // A version 2 caster answers the fallback's "HTTP/1.1 200 OK" too.
      {.name = "HTTP status", .prepare = [](Fetch& f) { f.caster.Script(kHttpStatus); },
       .read = TableRead::kComplete, .names = kNames, .connections = 2, .lastRequest = fallback},
      {.name = "HTTP status twice", .prepare = [](Fetch& f) { f.caster.Script(kHttpStatus, 2); },
       .read = TableRead::kComplete, .names = kNames, .connections = 2, .lastRequest = fallback},
      {.name = "split", .prepare = [](Fetch& f) { f.caster.Script(kSplitReply); },
       .read = TableRead::kComplete, .names = kNames, .connections = 2, .lastRequest = fallback},
      {.name = "garbage", .prepare = [](Fetch& f) { f.caster.Script(kGarbage); },
       .read = TableRead::kComplete, .names = kNames, .connections = 2, .lastRequest = fallback},
      {.name = "closed", .prepare = [](Fetch& f) { f.caster.Script(kCloseAtOnce); },
       .read = TableRead::kComplete, .names = kNames, .connections = 2, .lastRequest = fallback},
      {.name = "a fault in the first attempt",
       .prepare =
           [](Fetch& f) {
             f.clock.beforeSleep = [](int sleep) {
               if (sleep == 1) throw std::runtime_error("fault in the first attempt");
             };
           },
       .read = TableRead::kComplete, .names = kNames, .connections = 2},
      {.name = "both 404", .prepare = [](Fetch& f) { f.caster.SetDefaultBehaviour(kNotFound); },
       .box = io, .detail = notFound, .connections = 2},
      // A caster that never answers needs no real time to be waited for.
      {.name = "both silent", .prepare = [](Fetch& f) { f.caster.SetDefaultBehaviour(kSilent); },
       .realPollMs = 1, .box = io, .detail = u"The caster sent no reply.", .connections = 2},
      // A failed reconnect for the fallback is reported like a failed attempt.
      {.name = "no reconnect",
       .prepare =
           [](Fetch& f) {
             f.caster.Script(kNotFound);
             f.clock.beforeSleep = [&f](int sleep) {
               if (sleep != 1) return;
               ASSERT_TRUE(f.caster.WaitForConnections(1, std::chrono::seconds(10)));
               f.caster.StopAccepting();
             };
           },
       .realPollMs = 5, .box = io, .detail = notFound},
      {.name = "cut, chunked", .config = Serving(twoAndACut, true),
       .prepare = [](Fetch& f) { f.caster.Script(kTableCut); }, .query = v2,
       .read = TableRead::kClosedEarly, .names = kFirstTwo},
      // The status line, headers, CAS record and two STR records fit.
      {.name = "over a small limit", .config = Serving(MakeSourceTable(NumberedMountPoints(100))),
       .query = small, .read = TableRead::kTooLarge, .names = {"MP000", "MP001"}},
      // Without a name there is nothing to take: the box says how the table ended.
      {.name = "cut before a name", .config = Serving("STR;CUT"),
       .prepare = [](Fetch& f) { f.caster.Script(kTableCut); }, .read = TableRead::kClosedEarly,
       .box = io,
       .detail = u"The caster closed the connection before the end of its source table."},
      {.name = "wrong login", .config = Serving(MakeSourceTable(kNames), true, true),
       .query = wrongLogin, .read = TableRead::kLoginNeeded,
       .box = u"The caster refused the user name and password for its source table.",
       .connections = 2},
      {.name = "version 2 without login", .config = Serving(MakeSourceTable(kNames), true, true),
       .query = v2, .read = TableRead::kLoginNeeded,
       .box = u"The caster's source table needs a login (a user name and password)."},
      {.name = "version 2 login", .config = Serving(MakeSourceTable(kNames), true, true),
       .query = v2Login, .read = TableRead::kComplete, .names = kNames},
      {.name = "empty address", .address = u"", .box = u"Does not appear to be a valid address?",
       .connections = 0},
      // A name, though it begins with 1.
      {.name = "unresolved", .address = u"1nowhere.invalid", .box = io,
       .detail = u"The host name \"1nowhere.invalid\" did not resolve.", .connections = 0},
      {.name = "refused", .prepare = [](Fetch& f) { f.caster.Stop(); },
       .box = FormatText(connectError, {u"Connection refused"}), .connections = 0},
      {.name = "never accepted", .prepare = [](Fetch& f) { f.caster.StopAccepting(); },
       .realPollMs = 1, .box = FormatText(connectError, {u"Connection timed out"}),
       .connections = 0, .ms = kTableWindowMs},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fetch fetch(c.realPollMs, c.config);
    c.prepare(fetch);
    std::string reply;
    const TableFetch result = fetch.Run(c.query, c.address, &reply);
    if (c.read) {
      EXPECT_EQ(result.read, *c.read);
    }
    EXPECT_EQ(result.listed, !c.names.empty());
    EXPECT_EQ(Names(fetch.table), c.names);
    if (result.listed && result.read != TableRead::kComplete) {
      EXPECT_EQ(result.ending, DescribeTableRead(result.read, reply, c.query.limit));
      EXPECT_TRUE(reply.ends_with(MakeStrRecord(c.names.back()) + "\r\n"));
    }
    const auto boxes = fetch.sink.Boxes();
    ASSERT_EQ(boxes.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) {
      EXPECT_EQ(boxes[0].text, c.box);
      EXPECT_EQ(boxes[0].detail, c.detail);
      EXPECT_TRUE(boxes[0].caption == u"Error" && boxes[0].icon == MessageIcon::kExclamation);
    }
    ASSERT_EQ(fetch.caster.ConnectionCount(), c.connections);
    for (std::size_t i = 0; i < c.connections; ++i) {
      EXPECT_EQ(fetch.caster.RequestText(i).find("Authorization: Basic ") != std::string::npos,
                c.query.login.has_value());
    }
    if (!c.lastRequest.empty()) {
      EXPECT_EQ(fetch.caster.RequestText(c.connections - 1), c.lastRequest);
    }
    // Each attempt ends within its wait and window, also when the caster never answers.
    EXPECT_LE(fetch.clock.Elapsed(), 2 * (kFirstReadDelayMs + kTableWindowMs + kReadStepMs));
    if (c.ms != 0) {
      EXPECT_EQ(fetch.clock.Elapsed(), c.ms);
    }
  }
}

TEST(GetSourceTable, OverTlsTheTableComesThroughTheCertificateCheck) {
  const testing::TestCertificates certificates = testing::MakeTestCertificates();
  const testing::AuthorityFile authority(certificates);
  for (const bool forTheName : {true, false}) {
    SCOPED_TRACE(forTheName);
    Fetch fetch(50, Serving(MakeSourceTable(kNames), true));
    testing::TlsPeerConfig front;
    front.identity = forTheName ? certificates.localhost : certificates.wrongName;
    front.behaviour = testing::PeerBehaviour::kForward;
    front.forwardPort = fetch.caster.Port();
    testing::TlsTestPeer peer(front);
    TableQuery query;
    query.protocol = {NtripVersion::k2, true, authority.Path()};
    EXPECT_EQ(fetch.table.GetSourceTable(fetch.sink, u"localhost", peer.Port(), fetch.clock, query)
                  .listed,
              forTheName);
    EXPECT_EQ(Names(fetch.table), forTheName ? kNames : std::vector<std::string>{});
    const auto boxes = fetch.sink.Boxes();
    ASSERT_EQ(boxes.size(), forTheName ? 0u : 1u);
    if (!forTheName) {
      EXPECT_EQ(boxes[0].text, u"The caster's certificate was not accepted: hostname mismatch");
    }
  }
}

}  // namespace
}  // namespace quillon
