// The Rover over NTRIP 2 and TLS.
#include <filesystem>
#include <optional>
#include <string>

#include "demo/correction_stream.h"
#include "rover/rover_session_fixture.h"
#include "testing/manual_caster.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon::testing {
namespace {

class RoverProtocolTest : public RoverSessionFixture {
 protected:
  // A TLS front on the demo caster, whose authority the session is given.
  void UseTls() {
    const TestCertificates made = MakeTestCertificates();
    WritePem(folder.Path() / "authority.pem", made.authority);
    TlsPeerConfig front;
    front.identity = made.localhost;
    front.behaviour = PeerBehaviour::kForward;
    front.forwardPort = static_cast<std::uint16_t>(caster->Port());
    tls.emplace(front);
    settings.port = tls->Port();
    settings.protocol = {NtripVersion::k2, true, (folder.Path() / "authority.pem").string()};
  }

  std::optional<TlsTestPeer> tls;
};

TEST_F(RoverProtocolTest, OverNtrip2AndTlsThePayloadAloneReachesTheReceiverAndEveryByteGoesUp) {
  for (const bool overTls : {false, true}) {
    SCOPED_TRACE(overTls);
    const RecordingMessageSink& boxes = NextAttempt();
    SimulatedReceiver receiving(clock);
    SetFieldText(settings.comPortName, Wide(receiving.DevicePath()));
    UseCaster({});
    settings.protocol.version = NtripVersion::k2;
    if (overTls) UseTls();
    clock.SetRealPollMs(kAnswerPollMs);
    Start();
    ASSERT_TRUE(LoggedIn());
    ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
    const std::string down = CorrectionStream(3).Next(100'000);
    const std::string up = MakeGgaSentence(clock.Now(), 52.52, 13.40);
    receiving.Emit(up);
    ASSERT_EQ(caster->SendToClients(down), 1);
    ASSERT_TRUE(receiving.WaitForReceived(down.size(), kRealLimit));
    ASSERT_TRUE(caster->WaitForReceivedFromClients(up.size(), kRealLimit));
    EXPECT_TRUE(receiving.Received() == down) << "the receiver got other bytes than the payload";
    EXPECT_EQ(caster->ReceivedFromClients(), up);
    EXPECT_TRUE(caster->RequestText(0).starts_with("GET /DEMO HTTP/1.1\r\n"));
    EXPECT_EQ(TotalReaching(down.size()), static_cast<std::int64_t>(down.size()));
    EXPECT_TRUE(boxes.Boxes().empty());
    NextAttempt();  // before this receiver goes
  }
}

// The garbage comes after a sound chunk has been relayed: the relay loop, not the login's check
// of the first bytes, finds it.
TEST_F(RoverProtocolTest, AChunkSizeOfGarbageEndsTheSessionWithItsReason) {
  ManualCaster manual("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", false);
  settings.port = manual.Port();
  settings.protocol.version = NtripVersion::k2;
  clock.beforeWait = [&](int) { manual.Answer(); };
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(manual.SendToClient("5\r\nhello\r\n"));
  ASSERT_TRUE(receiver.WaitForReceived(5, kRealLimit));
  ASSERT_TRUE(manual.SendToClient("zz\r\n"));
  ASSERT_TRUE(WorkerEnds());
  const auto boxes = sink.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].detail.starts_with(u"The caster sent a malformed chunk size: \"zz\""));
  EXPECT_EQ(receiver.Received(), "hello");
}

}  // namespace
}  // namespace quillon::testing
