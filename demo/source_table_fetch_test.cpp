#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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
#include "net/caster_connection.h"
#include "ntrip/ntrip_source_table.h"
#include "ntrip/requests.h"
#include "ntrip/source_table_test_names.h"
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"
#include "testing/temp_folder.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon {
namespace {

using testing::HookedClock;
using testing::Names;

const std::vector<std::string> kNames = {"ALPHA", "BRAVO", "CHARLIE"};

DemoCasterConfig Serving(std::string table, bool chunked = false) {
  DemoCasterConfig config;
  config.sourceTable = std::move(table);
  config.chunkedTables = chunked;
  return config;
}

struct Fetch {
  explicit Fetch(int realPollMs, DemoCasterConfig config = Serving(MakeSourceTable(kNames)))
      : caster(std::move(config)), clock(realPollMs) {}
  TableFetch Run(std::string* reply = nullptr) {
    return table.GetSourceTable(address, caster.Port(), clock, query, reply);
  }

  DemoCaster caster;
  HookedClock clock;
  CNtripSourceTable table;
  std::u16string address = u"127.0.0.1";
  TableQuery query;
};

// Each read step takes real time, or a loaded caster could miss the virtual window.
void RealSteps(Fetch& fetch) {
  fetch.clock.beforeSleep = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
}

// After any other first answer (even a fault) the fallback asks once more on a new connection.
TEST(GetSourceTable, EachWayToATableKeepsItsNames) {
  using enum CasterBehaviour;
  const auto script = [](CasterBehaviour behaviour, int times = 1) {
    return [=](Fetch& fetch) { fetch.caster.Script(behaviour, times); };
  };
  const struct {
    const char* name;
    std::function<void(Fetch&)> prepare;
    std::size_t connections = 1;
    NtripVersion version = NtripVersion::k1;
    DemoCasterConfig config = Serving(MakeSourceTable(kNames));
    std::vector<std::string> names = kNames;
  } cases[] = {
      {"version 1", {}},
      {"large, chunked", RealSteps, 1, NtripVersion::k2,
       Serving(MakeSourceTable(NumberedMountPoints(3000)), true), NumberedMountPoints(256)},
      {"after a 404", script(kNotFound), 2},
      // A version 2 caster answers the fallback's "HTTP/1.1 200 OK" too.
      {"HTTP 200 twice", script(kHttpStatus, 2), 2},
      {"after a split status", script(kSplitReply), 2},
      {"after a fault",
       [](Fetch& fetch) {
         fetch.clock.beforeSleep = [](int sleep) {
           if (sleep == 1) throw std::runtime_error("fault in the first attempt");
         };
       },
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fetch fetch(50, c.config);
    fetch.query.protocol.version = c.version;
    if (c.prepare) c.prepare(fetch);
    std::string reply;
    const TableFetch result = fetch.Run(&reply);
    EXPECT_TRUE(result.Listed() && result.read == TableRead::kComplete && result.ending.empty());
    EXPECT_EQ(Names(fetch.table), c.names);
    EXPECT_TRUE(reply.ends_with(c.config.sourceTable + "ENDSOURCETABLE\r\n"));
    ASSERT_EQ(fetch.caster.ConnectionCount(), c.connections);
    const CasterHost host{"127.0.0.1", fetch.caster.Port(), false};
    EXPECT_EQ(fetch.caster.RequestText(c.connections - 1),
              c.version == NtripVersion::k2 ? BuildVersion2SourceTableRequest(host, {})
              : c.connections == 2          ? BuildFallbackSourceTableRequest(host)
                                            : std::string(kSourceTableRequest));
  }
}

// The last reply is what the user is told; every attempt ends within its wait and window.
TEST(GetSourceTable, EachFailureSaysWhatHappened) {
  using enum CasterBehaviour;
  const std::u16string loginIo = LoadString(kStrAuthenticationIo);
  const std::u16string notFound = u"The caster replied \"HTTP/1.1 404 Not Found\".";
  const auto connectError = [](std::u16string_view reason) {
    return FormatText(LoadString(kStrConnectionError), {reason});
  };
  DemoCasterConfig protectedTable = Serving(MakeSourceTable(kNames));
  protectedTable.tableNeedsLogin = true;
  DemoCasterConfig page;
  page.cannedReply = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>Log in</html>";
  const auto at = [](std::u16string address) {
    return [address](Fetch& fetch) { fetch.address = address; };
  };
  const auto answering = [](CasterBehaviour behaviour, int realPollMs = 50) {
    return [=](Fetch& fetch) {
      fetch.caster.SetDefaultBehaviour(behaviour);
      fetch.clock.SetRealPollMs(realPollMs);
    };
  };
  const struct {
    const char* name;
    std::function<void(Fetch&)> prepare;
    TableProblem problem;
    std::u16string text, detail;
    std::size_t connections;
    std::uint64_t ms = 0;  // the virtual time it takes, when it matters
    DemoCasterConfig config = Serving(MakeSourceTable(kNames));
  } cases[] = {
      {"invalid address", at(u"192.168.1.300"), TableProblem::kNotConnected,
       u"Does not appear to be a valid address?", u"", 0},
      // A name, though it begins with 1.
      {"unresolved name", at(u"1nowhere.invalid"), TableProblem::kNotConnected,
       ConnectionErrorText(LookUpHostName("1nowhere.invalid")),
       u"The host name \"1nowhere.invalid\" did not resolve.", 0},
      {"never accepted",
       [](Fetch& fetch) {
         fetch.caster.StopAccepting();
         fetch.clock.SetRealPollMs(1);
       },
       TableProblem::kNotConnected, connectError(u"Connection timed out"), u"", 0, kTableWindowMs},
      {"404 twice", answering(kNotFound), TableProblem::kNoTable, loginIo, notFound, 2},
      {"silent twice", answering(kSilent, 1), TableProblem::kNoTable, loginIo,
       u"The caster sent no reply.", 2, 2 * (kFirstReadDelayMs + kTableWindowMs)},
      {"stopped",
       [](Fetch& fetch) {
         fetch.caster.SetDefaultBehaviour(kSilent);
         fetch.clock.SetRealPollMs(1);
         fetch.query.stop = [&fetch] { return fetch.clock.Elapsed() >= 5000; };
       },
       TableProblem::kStopped, u"", u"", 1, 5000},
      // The reconnect for the fallback fails: the first reply is the one to name.
      {"no reconnect",
       [](Fetch& fetch) {
         fetch.caster.Script(kNotFound);
         fetch.clock.SetRealPollMs(5);
         fetch.clock.beforeSleep = [&fetch](int sleep) {
           if (sleep != 1) return;
           ASSERT_TRUE(fetch.caster.WaitForConnections(1, std::chrono::seconds(10)));
           fetch.caster.StopAccepting();
         };
       },
       TableProblem::kNoTable, loginIo, notFound, 1},
      // Without a name there is nothing to take.
      {"cut before a name", [](Fetch& fetch) { fetch.caster.Script(kTableCut); },
       TableProblem::kNoTable, loginIo,
       u"The caster closed the connection before the end of its source table.", 1, 0,
       Serving("STR;CUT")},
      // Asked for a login first, then told the fallback was not found: the 404 ended the fetch.
      {"401, then 404",
       [](Fetch& fetch) {
         fetch.caster.Script(kNormal);
         fetch.caster.Script(kNotFound);
       },
       TableProblem::kNoTable, loginIo, notFound, 2, 0, protectedTable},
      // Such as a proxy's login page.
      {"HTML page", answering(kCannedReply), TableProblem::kNoTable, loginIo,
       u"The caster's reply was an HTML page, not a source table: a proxy or a web server may "
       u"have answered in its place.",
       2, 0, page},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fetch fetch(50, c.config);
    c.prepare(fetch);
    const TableFetch result = fetch.Run();
    EXPECT_EQ(result.problem, c.problem);
    EXPECT_EQ(result.text, c.text);
    EXPECT_EQ(result.detail, c.detail);
    EXPECT_EQ(fetch.table.GetCount(), 0);
    EXPECT_EQ(fetch.caster.ConnectionCount(), c.connections);
    EXPECT_LE(fetch.clock.Elapsed(), 2 * (kFirstReadDelayMs + kTableWindowMs + kReadStepMs));
    EXPECT_TRUE(c.ms == 0 || fetch.clock.Elapsed() == c.ms) << fetch.clock.Elapsed();
  }
}

// The Source button asks as the saved settings say, a name looked up; a refusal says the reason.
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
    SettingsRecord settings;
    SetFieldText(settings.address, u"localhost");
    settings.port = peer.Port();
    settings.protocol = {NtripVersion::k2, true, authority.string()};
    const TableFetch result = fetch.table.GetSourceTable(settings, fetch.clock);
    EXPECT_EQ(result.problem, forTheName ? TableProblem::kNone : TableProblem::kTlsFailed);
    EXPECT_EQ(Names(fetch.table), forTheName ? kNames : std::vector<std::string>{});
    EXPECT_EQ(result.text.starts_with(u"The caster's certificate was not accepted: "), !forTheName);
    if (forTheName) {
      EXPECT_EQ(fetch.caster.RequestText(0),
                BuildVersion2SourceTableRequest({"localhost", settings.port, true}, {}));
    }
  }
}

}  // namespace
}  // namespace quillon
