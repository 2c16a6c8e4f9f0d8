// The Rover over NTRIP 2 and TLS.
#include <filesystem>
#include <string>

#include "demo/correction_stream.h"
#include "rover/rover_session_fixture.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon::testing {
namespace {

using RoverProtocolTest = RoverSessionFixture;

// Through a TLS front on the demo caster, whose authority the session is given; the stream
// comes chunked.
TEST_F(RoverProtocolTest, OverNtrip2AndTlsThePayloadAloneReachesTheReceiverAndEveryByteGoesUp) {
  const TestCertificates made = MakeTestCertificates();
  WritePem(folder.Path() / "authority.pem", made.authority);
  TlsTestPeer tls({made.localhost, PeerBehaviour::kForward, "127.0.0.1", 0, caster->Port()});
  settings.port = tls.Port();
  settings.protocol = {NtripVersion::k2, true, (folder.Path() / "authority.pem").string()};
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  const std::string down = CorrectionStream(3).Next(100'000);
  const std::string up = MakeGgaSentence(clock.Now(), 52.52, 13.40);
  receiver.Emit(up);
  ASSERT_EQ(caster->SendToClients(down), 1);
  ASSERT_TRUE(receiver.WaitForReceived(down.size(), kRealLimit));
  ASSERT_TRUE(caster->WaitForReceivedFromClients(up.size(), kRealLimit));
  EXPECT_TRUE(receiver.Received() == down) << "the receiver got other bytes than the payload";
  EXPECT_EQ(caster->ReceivedFromClients(), up);
  EXPECT_TRUE(caster->RequestText(0).starts_with("GET /DEMO HTTP/1.1\r\n"));
  EXPECT_EQ(status.Snapshot().total, static_cast<std::int64_t>(down.size()));
  EXPECT_TRUE(sink.Boxes().empty());
  NextAttempt();  // ended before its TLS front goes
}

}  // namespace
}  // namespace quillon::testing
