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

using Prepare = std::function<void(Fetch&)>;

Prepare Script(CasterBehaviour behaviour, int times = 1) {
  return [=](Fetch& fetch) { fetch.caster.Script(behaviour, times); };
}

// A caster that never answers, or never accepts, needs no real time to be waited for.
Prepare Always(CasterBehaviour behaviour, int realPollMs = 50) {
  return [=](Fetch& fetch) {
    fetch.caster.SetDefaultBehaviour(behaviour);
    fetch.clock.SetRealPollMs(realPollMs);
  };
}

// How a fetch from a caster that behaves as a row says ends: a version 1 fetch that gets no
// table asks once more with the fallback request on a new connection, with the same login (a
// fault in the first attempt counts as a failed one; a version 2 caster answers the fallback's
// "HTTP/1.1 200 OK" too); a table is read once, and however it ends the names of its whole
// lines are kept without a box; each failure before a request has its message.
TEST(GetSourceTable, EndsAsTheCasterBehaves) {
  using enum CasterBehaviour;
  using enum TableRead;
  const std::u16string io = LoadString(kStrAuthenticationIo);
  const std::u16string notFound = u"The caster replied \"HTTP/1.1 404 Not Found\".";
  const std::u16string noReply = u"The caster sent no reply.";
  const std::u16string closedEarly =
      u"The caster closed the connection before the end of its source table.";
  const std::u16string refused =
      u"The caster refused the user name and password for its source table.";
  const std::u16string needed =
      u"The caster's source table needs a login (a user name and password).";
  const std::u16string invalid = u"Does not appear to be a valid address?";
  const std::u16string unresolved = u"The host name \"1nowhere.invalid\" did not resolve.";
  const std::u16string connectError = LoadString(kStrConnectionError);
  const std::u16string connectionRefused = FormatText(connectError, {u"Connection refused"});
  const std::u16string timedOut = FormatText(connectError, {u"Connection timed out"});
  const std::vector<std::string> nothing;
  const std::vector<std::string> firstOfHundred = {"MP000", "MP001"};
  const TableQuery v1;
  const TableQuery v2{std::nullopt, kReplyStoreLimit, {NtripVersion::k2, false, ""}, false};
  const TableQuery v2Login{TableLogin{"demo", "demo"}, kReplyStoreLimit, v2.protocol, false};
  const TableQuery wrongLogin{TableLogin{"demo", "wrong"}, kReplyStoreLimit, {}, false};
  // The status line, headers, CAS record and two STR records fit.
  const TableQuery small{std::nullopt, 450, {}, false};
  const DemoCasterConfig table = Serving(MakeSourceTable(kNames));
  const DemoCasterConfig hundred = Serving(MakeSourceTable(NumberedMountPoints(100)));
  const DemoCasterConfig guarded = Serving(MakeSourceTable(kNames), true, true);
  const Prepare none = [](Fetch&) {};
  const Prepare faultInTheFirst = [](Fetch& fetch) {
    fetch.clock.beforeSleep = [](int sleep) {
      if (sleep == 1) throw std::runtime_error("fault in the first attempt");
    };
  };
  // The fallback's reconnect fails: reported like a failed attempt.
  const Prepare noReconnect = [](Fetch& fetch) {
    fetch.caster.Script(kNotFound);
    fetch.clock.SetRealPollMs(5);
    fetch.clock.beforeSleep = [&fetch](int sleep) {
      if (sleep != 1) return;
      ASSERT_TRUE(fetch.caster.WaitForConnections(1, std::chrono::seconds(10)));
      fetch.caster.StopAccepting();
    };
  };
  const Prepare stopped = [](Fetch& fetch) { fetch.caster.Stop(); };
  const Prepare notAccepting = [](Fetch& fetch) {
    fetch.caster.StopAccepting();
    fetch.clock.SetRealPollMs(1);
  };
  const struct {
    const char* name;
    Prepare prepare;
    std::optional<TableRead> read;
    std::vector<std::string> names;
    std::u16string box;  // none when empty
    std::u16string detail;
    std::size_t connections;
    TableQuery query = {};
    DemoCasterConfig config = Serving(MakeSourceTable(kNames));
    std::u16string address = u"127.0.0.1";
    std::uint64_t ms = 0;  // unless 0: the virtual time the fetch took
  } cases[] = {
      {"404", Script(kNotFound), kComplete, kNames, u"", u"", 2},
      {"HTTP status", Script(kHttpStatus), kComplete, kNames, u"", u"", 2},
      {"HTTP status twice", Script(kHttpStatus, 2), kComplete, kNames, u"", u"", 2},
      {"split", Script(kSplitReply), kComplete, kNames, u"", u"", 2},
      {"garbage", Script(kGarbage), kComplete, kNames, u"", u"", 2},
      {"closed", Script(kCloseAtOnce), kComplete, kNames, u"", u"", 2},
      {"a fault in the first attempt", faultInTheFirst, kComplete, kNames, u"", u"", 2},
      {"both 404", Always(kNotFound), std::nullopt, nothing, io, notFound, 2},
      {"both silent", Always(kSilent, 1), std::nullopt, nothing, io, noReply, 2},
      {"no reconnect", noReconnect, std::nullopt, nothing, io, notFound, 1},
      {"cut, chunked", Script(kTableCut), kClosedEarly, kFirstTwo, u"", u"", 1, v2,
       Serving(MakeSourceTable(kFirstTwo) + "STR;CHARL", true)},
      {"over a small limit", none, kTooLarge, firstOfHundred, u"", u"", 1, small, hundred},
      // Without a name there is nothing to take: the box says how the table ended.
      {"cut before a name", Script(kTableCut), kClosedEarly, nothing, io, closedEarly, 1, v1,
       Serving("STR;CUT")},
      {"wrong login", none, kLoginNeeded, nothing, refused, u"", 2, wrongLogin, guarded},
      {"version 2 without login", none, kLoginNeeded, nothing, needed, u"", 1, v2, guarded},
      {"version 2 login", none, kComplete, kNames, u"", u"", 1, v2Login, guarded},
      {"empty address", none, std::nullopt, nothing, invalid, u"", 0, v1, table, u""},
      // A name, though it begins with 1.
      {"unresolved", none, std::nullopt, nothing, io, unresolved, 0, v1, table,
       u"1nowhere.invalid"},
      {"refused", stopped, std::nullopt, nothing, connectionRefused, u"", 0},
      {"never accepted", notAccepting, std::nullopt, nothing, timedOut, u"", 0, v1, table,
       u"127.0.0.1", kTableWindowMs},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fetch fetch(50, c.config);
    c.prepare(fetch);
    std::string reply;
    const TableFetch result = fetch.Run(c.query, c.address, &reply);
    if (c.read) {
      EXPECT_EQ(result.read, *c.read);
    }
    EXPECT_EQ(result.listed, !c.names.empty());
    EXPECT_EQ(Names(fetch.table), c.names);
    if (result.listed && result.read != kComplete) {
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
    if (c.connections == 2) {
      EXPECT_TRUE(fetch.caster.RequestText(1).starts_with("GET / HTTP/1.1\r\n"));
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
