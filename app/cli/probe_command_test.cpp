#include "app/cli/probe_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cli/command_test_fixture.h"
#include "demo/correction_stream.h"
#include "demo/demo_caster.h"
#include "testing/hooked_clock.h"
#include "testing/temp_folder.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon::cli {
namespace {

const std::string kDemoStream = CorrectionStream().Next(3000);

struct ProbeRun {
  int status = -1;
  std::string out;
  std::string err;
};

// `quillon probe --user demo <options>` ("@": `caster`'s mount point) with QUILLON_PASSWORD
// "demo"; with `stopAt`, asked to stop after that many virtual ms.
ProbeRun Probe(DemoCaster& caster, const Arguments& options, std::uint64_t stopAt = 0) {
  Arguments args = {"--user", "demo"};  // before the target, which may follow options
  for (const std::string& option : options) {
    args.push_back(option == "@" ? "127.0.0.1:" + std::to_string(caster.Port()) + "/DEMO" : option);
  }
  int stop[2];
  EXPECT_EQ(pipe(stop), 0);
  testing::HookedClock clock;  // waits for the caster's reply in real time...
  clock.beforeWait = [&](int) {
    if (caster.LoggedInClients() > 0) clock.SetRealPollMs(1);  // ...but not for its silence
    if (stopAt > 0 && clock.Elapsed() > stopAt) {
      [[maybe_unused]] const ssize_t written = write(stop[1], "s", 1);
    }
  };
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const CommandEnvironment environment{clock, out, err, nullptr, "demo", stop[0]};
  ProbeRun run;
  run.status = RunProbeCommand(args, environment);
  run.out = Contents(out);
  run.err = Contents(err);
  std::fclose(out);
  std::fclose(err);
  close(stop[0]);
  close(stop[1]);
  return run;
}

// A caster that sends `payload` behind its reply to the user "demo" with `password`.
DemoCasterConfig Sending(std::string payload, std::string password = "demo") {
  DemoCasterConfig config;
  config.loginPayload = std::move(payload);
  config.password = std::move(password);
  return config;
}

// The demo station is 0.1 degree of longitude east of --near: 6.766 km of great circle there
// (haversine on the 6371 km sphere, in Python). Every byte behind the reply is scanned, also
// when NTRIP 2 cuts it into chunks, and over TLS.
TEST(ProbeCommand, TellsWhatTheDemoStreamHoldsAsJson) {
  DemoCaster caster(Sending(kDemoStream));
  const testing::TestCertificates certificates = testing::MakeTestCertificates();
  testing::TempFolder folder;
  const std::string authority = (folder.Path() / "authority.pem").string();
  testing::WritePem(authority, certificates.authority);
  testing::TlsTestPeer front(
      {certificates.localhost, testing::PeerBehaviour::kForward, "127.0.0.1", 0, caster.Port()});
  const std::string overTls = "localhost:" + std::to_string(front.Port()) + "/DEMO";
  for (const Arguments& protocol : {Arguments{"@", "--ntrip", "1"}, Arguments{"@", "--ntrip", "2"},
                                    Arguments{overTls, "--tls", "--ca-file", authority}}) {
    SCOPED_TRACE(protocol[1]);
    Arguments options = {"--seconds", "5", "--near", "52.52,13.505", "--format", "json"};
    options.insert(options.end(), protocol.begin(), protocol.end());
    const ProbeRun run = Probe(caster, options);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json json = nlohmann::json::parse(run.out);
    std::vector<unsigned> numbers;
    for (const auto& message : json["messages"]) numbers.push_back(message["number"]);
    EXPECT_EQ(numbers, (std::vector<unsigned>{1004, 1005, 1012, 1033, 1077, 1087}));
    EXPECT_EQ(json["station_id"], kDemoStationId);
    EXPECT_NEAR(json["position"]["latitude"], kDemoStationPlace.latitude, 1e-8);
    EXPECT_NEAR(json["position"]["longitude"], kDemoStationPlace.longitude, 1e-8);
    EXPECT_NEAR(json["position"]["height"], kDemoStationHeight, 1e-3);
    EXPECT_NEAR(json["position"]["distance_km"], 6.766, 0.001);
    EXPECT_EQ(json["bytes"], kDemoStream.size());
    EXPECT_EQ(json["seconds"], 5.0);
    EXPECT_EQ(json["crc_failures"].get<int>() + json["non_frame_bytes"].get<int>(), 0);
    EXPECT_FALSE(json["antenna"].get<std::string>().empty());
    EXPECT_TRUE(json["ended"].is_null());
  }
  const ProbeRun text = Probe(caster, {"@", "--near", "52.52,13.505"});
  EXPECT_TRUE(text.out.starts_with("DEMO, 10.0 s: RTCM 3\n")) << text.out;
  EXPECT_NE(text.out.find("\nStation:         2001\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find(" 74.00 m, 6.8 km away\n"), std::string::npos) << text.out;
}

TEST(ProbeCommand, ExitStatusSaysWhetherRtcm3CameAndWhy) {
  const std::string& demo = kDemoStream;
  const std::string nmea =
      "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n";
  const struct {
    const char* name;
    DemoCasterConfig caster;
    Arguments options;  // "@": the caster's mount point
    std::uint64_t stopAt;
    int status;
    std::string says;  // on standard output or error
  } cases[] = {
      {"stopped", Sending(demo), {"@", "--seconds", "3600"}, 30'000, 0, "Stopped"},
      {"a stream of NMEA", Sending(nmea + nmea), {"@"}, 0, 1, "no RTCM 3"},
      // RTCM 2 in its 6-of-8 form could begin a header line: held until the end, then counted.
      {"RTCM 2", Sending("fGYzPAm"), {"@"}, 0, 1, "B/s (7 bytes)"},
      {"a wrong password", Sending(demo, "x"), {"@"}, 0, 1, "source table"},
      {"NTRIP 2 refusing", Sending(demo, "x"), {"@", "--ntrip", "2"}, 0, 1, "refused the user"},
      {"no mount point", Sending(demo), {"127.0.0.1/"}, 0, 2, "HOST[:PORT]/MOUNT"},
      {"no caster", Sending(demo), {"/DEMO"}, 0, 2, "HOST[:PORT]/MOUNT"},
      {"a control character", Sending(demo), {"127.0.0.1/DE\x1bMO"}, 0, 2, "control"},
      {"an hour and a second", Sending(demo), {"@", "--seconds", "3601"}, 0, 2, "1 to 3600"},
      {"no seconds", Sending(demo), {"@", "--seconds", "0"}, 0, 2, "1 to 3600"},
      {"off the globe", Sending(demo), {"@", "--near", "91,0"}, 0, 2, "--near"},
      {"xml", Sending(demo), {"@", "--format", "xml"}, 0, 2, "--format"},
      {"NTRIP 1 over TLS", Sending(demo), {"@", "--ntrip", "1", "--tls"}, 0, 2, "--tls speaks"},
      {"an unknown option", Sending(demo), {"@", "--baud", "9600"}, 0, 2, "--baud"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DemoCaster caster(c.caster);
    const ProbeRun run = Probe(caster, c.options, c.stopAt);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
    if (c.status == 2) {
      EXPECT_EQ(caster.ConnectionCount(), 0u);  // refused before connecting
    }
  }
}

}  // namespace
}  // namespace quillon::cli
