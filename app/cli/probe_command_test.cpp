#include "app/cli/probe_command.h"

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "app/cli/command_test_fixture.h"
#include "demo/correction_stream.h"
#include "demo/demo_caster.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon::cli {
namespace {

const std::string kDemoStream = CorrectionStream().Next(3000);

// `quillon probe --user demo <options>` ("@": `target`'s mount point), stopped after `stopAt` ms.
class ProbeCommand : public CommandFixture {
 protected:
  // Waits for the caster's reply in real time, but not for its silence.
  ProbeCommand() : CommandFixture(RunProbeCommand) { clock.SetRealPollMs(1000); }

  int Probe(DemoCaster& target, const Arguments& options, std::uint64_t stopAt = 0) {
    Arguments args = {"--user", "demo", "--password-file", (folder.Path() / "password").string()};
    for (const std::string& option : options) {
      args.push_back(option == "@" ? "127.0.0.1:" + std::to_string(target.Port()) + "/DEMO"
                                   : option);
    }
    bool stopped = false;
    clock.beforeWait = [&](int) {
      if (target.LoggedInClients() > 0) clock.SetRealPollMs(1);
      if (stopAt > 0 && clock.Elapsed() > stopAt && !std::exchange(stopped, true)) AskToStop();
    };
    const int status = Run(args);
    clock.SetRealPollMs(1000);
    if (stopped) TakeBackStop();
    return status;
  }
};

DemoCasterConfig Sending(std::string payload, std::string password = "demo") {
  DemoCasterConfig config;
  config.loginPayload = std::move(payload);
  config.password = std::move(password);
  return config;
}

// The station is 0.1 degree east of --near: 6.766 km (haversine on the 6371 km sphere).
TEST_F(ProbeCommand, TellsWhatTheDemoStreamHoldsAsJson) {
  DemoCaster streaming(Sending(kDemoStream));
  const testing::TestCertificates certificates = testing::MakeTestCertificates();
  const std::string authority = (folder.Path() / "authority.pem").string();
  testing::WritePem(authority, certificates.authority);
  testing::TlsTestPeer front(
      {certificates.localhost, testing::PeerBehaviour::kForward, "127.0.0.1", 0, streaming.Port()});
  const std::string overTls = "localhost:" + std::to_string(front.Port()) + "/DEMO";
  for (const Arguments& protocol : {Arguments{"@", "--ntrip", "1"}, Arguments{"@", "--ntrip", "2"},
                                    Arguments{overTls, "--tls", "--ca-file", authority}}) {
    SCOPED_TRACE(protocol[1]);
    Arguments options = {"--seconds", "5", "--near", "52.52,13.505", "--format", "json"};
    options.insert(options.end(), protocol.begin(), protocol.end());
    ASSERT_EQ(Probe(streaming, options), 0) << Contents(err_);
    const nlohmann::json json = nlohmann::json::parse(Contents(out_));
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
  Probe(streaming, {"@", "--near", "52.52,13.505"});
  const std::string text = Contents(out_);
  EXPECT_TRUE(text.starts_with("DEMO, 10.0 s: RTCM 3\n")) << text;
  EXPECT_NE(text.find("\nStation:         2001\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" 74.00 m, 6.8 km away\n"), std::string::npos) << text;
}

TEST_F(ProbeCommand, ExitStatusSaysWhetherRtcm3CameAndWhy) {
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
      {"an hour and a second", Sending(demo), {"@", "--seconds", "3601"}, 0, 2, "1 to 3600"},
      {"no seconds", Sending(demo), {"@", "--seconds", "0"}, 0, 2, "1 to 3600"},
      {"off the globe", Sending(demo), {"@", "--near", "91,0"}, 0, 2, "--near"},
      {"xml", Sending(demo), {"@", "--format", "xml"}, 0, 2, "--format"},
      {"an unknown option", Sending(demo), {"@", "--baud", "9600"}, 0, 2, "--baud"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DemoCaster target(c.caster);
    EXPECT_EQ(Probe(target, c.options, c.stopAt), c.status) << Contents(err_);
    const std::string said = Contents(out_) + Contents(err_);
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    if (c.status == 2) {
      EXPECT_EQ(target.ConnectionCount(), 0u);  // refused before connecting
    }
  }
}

}  // namespace
}  // namespace quillon::cli
