// A Rover session from start-up to the relay loop: how it fails, and the logins that succeed,
// over NTRIP 1, NTRIP 2 and TLS.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/guard.h"
#include "demo/correction_stream.h"
#include "ntrip/nmea_test_sentences.h"
#include "rover/rover_session_fixture.h"
#include "testing/manual_caster.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon::testing {
namespace {

using namespace std::string_literals;
class RoverLoginTest : public RoverSessionFixture {
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

constexpr char16_t kRejected[] = u"Authentication credentials were rejected or ignored.";

// The connect's own limits are ConnectToCaster's, what a reply says is JudgeLoginReply's; the
// Base's test waits out a silent caster's 6 s. A refusal is decided as soon as its line is there.
TEST_F(RoverLoginTest, EachFailureBeforeTheRelayEndsTheSessionWithItsMessageAtOnce) {
  struct : TraceSink {
    std::mutex mutex;
    std::string text;
    void Write(std::string_view line) override {
      std::lock_guard guard(mutex);
      text += line;
    }
  } trace;
  SetTraceSink(&trace);
  const struct {
    const char* name;
    std::function<void()> prepare;
    std::u16string text, detail;
    std::size_t connections = 1;
    MessageIcon icon = MessageIcon::kExclamation;
  } cases[] = {
      {"no receiver", [&] { SetFieldText(settings.comPortName, u"/dev/quillon-none"); },
       u"Unable to open COM Port.",
       u"/dev/quillon-none: No such file or directory.\r\nThe device is not there.", 0,
       MessageIcon::kNone},
      {"invalid address", [&] { SetFieldText(settings.address, u"10.0.0.256"); },
       u"Does not appear to be a valid address?", u"", 0},
      {"nothing listening", [&] { caster->Stop(); },
       u"Connection Error: Could not create connection to server. \r\nReason:Connection refused",
       u"", 0},
      // A mount point the caster does not carry: its table.
      {"refused", [&] { SetFieldText(settings.mountPoint, u"NONE"); }, kRejected,
       u"The caster answered with its source table: the mount point does not exist there."},
      {"connection reset", [&] { caster->Script(CasterBehaviour::kResetAfterRequest); },
       u"Could not send or receive authentication. Check port number and address. ",
       u"Reading the caster's reply failed: Connection reset by peer."},
      // An interim reply first is passed over: the login is accepted, then the caster closes.
      {"100 Continue, then the answer",
       [&] {
         DemoCasterConfig config;
         config.cannedReply = "HTTP/1.1 100 Continue\r\n\r\nICY 200 OK\r\n";
         config.cannedSplitAt = config.cannedReply.find("ICY");
         UseCaster(config);
         caster->Script(CasterBehaviour::kCannedReply);
       },
       u"There was a problem reading from the socket. Connection down?",
       u"The caster closed the connection."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessageSink& boxes = NextAttempt();
    UseCaster({});
    UseDefaultSettings();
    SetFieldText(settings.password, u"s3cr3t-pw");
    c.prepare();
    const auto before = clock.Elapsed();
    Start();
    ExpectGaveUpWith(boxes, c.text, c.icon);
    EXPECT_EQ(boxes.Boxes().at(0).detail, c.detail);
    EXPECT_LT(clock.Elapsed() - before, 500u);
    EXPECT_EQ(caster->ConnectionCount(), c.connections);
  }
  NextAttempt();
  SetTraceSink(nullptr);
  EXPECT_EQ(trace.text.find("s3cr3t"), std::string::npos);
}

// The stream's first bytes often come in the reply's own segment (the header lines behind the
// token are ReplyHeaderFilter's test); an NTRIP 2 body's chunks never reach the receiver; the
// receiver's bytes go up. Full-length names of
// three-byte characters make the request overflow 255 bytes.
TEST_F(RoverLoginTest, OnlyThePayloadReachesTheReceiverOnceAndInOrderAndItsOutputGoesUp) {
  // One epoch: 1063 bytes of RTCM 3 frames; then an empty message 1001 of the next.
  const std::string epoch = CorrectionStream(3).Next(1063),
                    many = CorrectionStream(4).Next(100'000);
  const std::string next = "\xD3\x00\x00\x47\xEA\x4B"s;
  const std::string tokenLike = "ICY 200 OK\r\n\xD3\x00\x13";
  const struct {
    const char* name;
    std::string behindStatus;  // in the same write as "ICY 200 OK\r\n"
    std::string first;         // what the receiver gets of it
    CasterBehaviour answer = CasterBehaviour::kNormal;
    NtripVersion version = NtripVersion::k1;
    bool tls = false;
    std::int32_t ggaSeconds = 0;  // only GGA upstream, at most one in this many seconds
  } cases[] = {
      {"the stream at once", epoch, epoch},
      // RTCM 2 letters could still begin a header line: a silent second lets them go.
      {"RTCM 2 that could begin a header", "fGYzPAm", "fGYzPAm"},
      // Without authentication nothing is sent: even a token the caster sends is the stream.
      {"no authentication", tokenLike, tokenLike, CasterBehaviour::kRawStream},
      // More than a TLS record and a read hold.
      {"NTRIP 2", many, many, CasterBehaviour::kNormal, NtripVersion::k2},
      {"NTRIP 2 over TLS", many, many, CasterBehaviour::kNormal, NtripVersion::k2, true},
      {"GGA alone upstream", epoch, epoch, CasterBehaviour::kNormal, NtripVersion::k1, false, 2},
  };
  const std::string up = MakeGgaSentence(clock.Now(), 52.52, 13.40);
  DemoCasterConfig wide;
  wide.user = wide.password = wide.mountPoint = "";
  for (int i = 0; i < 15; ++i) wide.user += "\xE2\x82\xAC";        // EURO SIGN
  for (int i = 0; i < 15; ++i) wide.password += "\xE2\x84\x96";    // NUMERO SIGN
  for (int i = 0; i < 19; ++i) wide.mountPoint += "\xE2\x86\x91";  // UPWARDS ARROW
  for (const auto& c : cases) {
    // The demo caster takes NTRIP 2's percent-encoded mount point only in ASCII.
    const bool k1 = c.version == NtripVersion::k1;
    DemoCasterConfig config = k1 ? wide : DemoCasterConfig{};
    SetFieldText(settings.userName, k1 ? std::u16string(15, u'\u20AC') : u"demo");
    SetFieldText(settings.password, k1 ? std::u16string(15, u'\u2116') : u"demo");
    SetFieldText(settings.mountPoint, k1 ? std::u16string(19, u'\u2191') : u"DEMO");
    SCOPED_TRACE(c.name);
    const bool raw = c.answer == CasterBehaviour::kRawStream;
    SimulatedReceiver receiving(clock);
    SetFieldText(settings.comPortName, FromUtf8(receiving.DevicePath()));
    settings.noAuthentication = raw ? 1 : 0;
    config.loginPayload = raw ? "" : c.behindStatus;
    UseCaster(config);
    caster->Script(c.answer);
    settings.protocol.version = c.version;
    settings.upstream.ggaSeconds = c.ggaSeconds;
    if (c.tls) UseTls();
    clock.SetRealPollMs(kAnswerPollMs);
    Start();
    ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
    if (raw) {
      ASSERT_EQ(caster->SendToClients(c.behindStatus), 1);
    }
    ASSERT_TRUE(receiving.WaitForReceived(c.first.size(), kRealLimit));
    EXPECT_TRUE(receiving.Received() == c.first);  // no diff of this size in the log
    receiving.Emit(nmea::kGsv + up);
    ASSERT_EQ(caster->SendToClients(next), 1);
    ASSERT_TRUE(receiving.WaitForReceived(c.first.size() + next.size(), kRealLimit));
    EXPECT_TRUE(receiving.Received() == c.first + next);
    EXPECT_EQ(TotalReaching(c.first.size() + next.size()),
              static_cast<std::int64_t>(c.first.size() + next.size()));
    EXPECT_TRUE(raw  ? caster->RequestText(0).empty()
                : k1 ? caster->RequestText(0).size() > 255
                     : caster->RequestText(0).starts_with("GET /DEMO HTTP/1.1\r\n"));
    const std::string upstream = c.ggaSeconds > 0 ? up : nmea::kGsv + up;
    ASSERT_TRUE(caster->WaitForReceivedFromClients(upstream.size(), kRealLimit));
    EXPECT_EQ(caster->ReceivedFromClients(), upstream);
    NextAttempt();  // before this receiver goes
    settings.protocol = {};
  }
}

TEST_F(RoverLoginTest, SavesFromTheFrontEndDuringTheLoginNeitherRaceNorLoseAChange) {
  const auto file = folder.Path() / kRoverSettingsFileName;
  std::atomic<bool> loggedIn{false};
  std::atomic<int> saves{0};
  std::atomic<bool> allWhole{true};
  std::thread overrideDialog([&] {
    // A few saves after the login, so the last one follows RememberHost.
    for (int i = 1, after = 0; after < 3; ++i) {
      if (loggedIn.load()) ++after;
      settings.overrideLatitude.store(i / 1000.0);  // a latitude, or a load would refuse it
      SaveRoverSettings(settings, status, folder.Path());
      if (std::filesystem::file_size(file) != kSettingsImageSize) allWhole.store(false);
      saves.store(i);
    }
  });
  Start();
  const bool in = LoggedIn();
  loggedIn.store(true);
  overrideDialog.join();
  ASSERT_TRUE(in);
  EXPECT_TRUE(allWhole.load());
  RoverSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path()));
  EXPECT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.comPortName), FromUtf8(receiver.DevicePath() + ":"));
  EXPECT_EQ(saved.overrideLatitude.load(), saves.load() / 1000.0);
}

// The garbage comes after a sound chunk has been relayed: the relay loop, not the login's check
// of the first bytes, finds it.
TEST_F(RoverLoginTest, AChunkSizeOfGarbageEndsTheSessionWithItsReason) {
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
