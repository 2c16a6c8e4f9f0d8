// A Rover session from start-up to the relay loop: how it fails, and the logins that succeed.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "common/guard.h"
#include "demo/correction_stream.h"
#include "rover/rover_session_fixture.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using testing::RecordingMessageSink;
using testing::Wide;
using RoverLoginTest = testing::RoverSessionFixture;

constexpr char16_t kRejected[] = u"Authentication credentials were rejected or ignored.";

// Failures before a connection (the connect's own limits are ConnectToCaster's).
TEST_F(RoverLoginTest, AFailedConnectNamesTheSystemsReason) {
  const struct {
    const char* name;
    std::function<void()> prepare;
    std::u16string text;
    MessageIcon icon = MessageIcon::kExclamation;
  } cases[] = {
      {"no receiver", [&] { SetFieldText(settings.comPortName, u"/dev/quillon-none"); },
       u"Unable to open COM Port.", MessageIcon::kNone},
      {"invalid address", [&] { SetFieldText(settings.address, u"10.0.0.256"); },
       u"Does not appear to be a valid address?"},
      {"nothing listening", [&] { caster->Stop(); },
       u"Connection Error: Could not create connection to server. \r\nReason:Connection refused"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessageSink& boxes = NextAttempt();
    UseCaster({});
    UseDefaultSettings();
    c.prepare();
    Start();
    ExpectGaveUpWith(boxes, c.text, c.icon);
    EXPECT_EQ(caster->ConnectionCount(), 0u);
  }
}

// Decided as soon as the first line is complete; a silent caster gets 6 s. What each reply
// says is JudgeLoginReply's.
TEST_F(RoverLoginTest, ARefusedReplyIsDecidedAtOnceAndNamed) {
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
    CasterBehaviour answer;
    std::u16string_view message, detail;
    std::uint64_t ms;
  } cases[] = {
      // A mount point the caster does not carry: its table.
      {CasterBehaviour::kNormal, kRejected,
       u"The caster answered with its source table: the mount point does not exist there.", 0},
      {CasterBehaviour::kSilent, kRejected, u"The caster sent no reply.", 6000},
      {CasterBehaviour::kResetAfterRequest,
       u"Could not send or receive authentication. Check port number and address. ",
       u"Reading the caster's reply failed: Connection reset by peer.", 0},
  };
  SetFieldText(settings.password, u"s3cr3t-pw");
  DemoCasterConfig config;
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    RecordingMessageSink& boxes = NextAttempt();
    config.password = c.answer == CasterBehaviour::kNormal ? "other" : "s3cr3t-pw";
    UseCaster(config);
    caster->Script(c.answer);
    const auto before = clock.Elapsed();
    Start();
    ExpectGaveUpWith(boxes, c.message);
    EXPECT_EQ(boxes.Boxes().at(0).detail, c.detail);
    EXPECT_GE(clock.Elapsed() - before, c.ms);
    EXPECT_LT(clock.Elapsed() - before, c.ms + 500);
  }
  NextAttempt();
  SetTraceSink(nullptr);
  EXPECT_EQ(trace.text.find("s3cr3t"), std::string::npos);
}

// The stream's first bytes often come in the reply's own segment; the headers never reach the
// receiver. Full-length names of three-byte characters make the request overflow 255 bytes.
TEST_F(RoverLoginTest, CorrectionsThatComeWithTheReplyReachTheReceiverOnceAndInOrder) {
  // One epoch: 1063 bytes of RTCM 3 frames; then an empty message 1001 of the next.
  const std::string epoch = CorrectionStream(3).Next(1063);
  const std::string next = "\xD3\x00\x00\x47\xEA\x4B"s;
  const std::string headers = "Server: NTRIP Caster 2.0\r\nContent-Type: gnss/data\r\n\r\n";
  const std::string tokenLike = "ICY 200 OK\r\n\xD3\x00\x13";
  const struct {
    const char* name;
    std::string behindStatus;  // in the same write as "ICY 200 OK\r\n"
    std::string first;         // what the receiver gets of it
    CasterBehaviour answer = CasterBehaviour::kNormal;
  } cases[] = {
      {"the stream at once", epoch, epoch},
      {"an empty line, then the stream", "\r\n" + epoch, epoch},
      {"headers, then the stream", headers + epoch, epoch},
      // RTCM 2 letters could still begin a header line: a silent second lets them go.
      {"RTCM 2 that could begin a header", "fGYzPAm", "fGYzPAm"},
      {"the token split over two reads", next, next, CasterBehaviour::kSplitReply},
      // Without authentication nothing is sent: even a token the caster sends is the stream.
      {"no authentication", tokenLike, tokenLike, CasterBehaviour::kRawStream},
  };
  DemoCasterConfig config;
  config.user = config.password = config.mountPoint = "";
  for (int i = 0; i < 15; ++i) config.user += "\xE2\x82\xAC";        // EURO SIGN
  for (int i = 0; i < 15; ++i) config.password += "\xE2\x84\x96";    // NUMERO SIGN
  for (int i = 0; i < 19; ++i) config.mountPoint += "\xE2\x86\x91";  // UPWARDS ARROW
  SetFieldText(settings.userName, std::u16string(15, u'\u20AC'));
  SetFieldText(settings.password, std::u16string(15, u'\u2116'));
  SetFieldText(settings.mountPoint, std::u16string(19, u'\u2191'));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool raw = c.answer == CasterBehaviour::kRawStream;
    SimulatedReceiver receiving(clock);
    SetFieldText(settings.comPortName, Wide(receiving.DevicePath()));
    settings.noAuthentication = raw ? 1 : 0;
    config.loginPayload = raw ? "" : c.behindStatus;
    UseCaster(config);
    caster->Script(c.answer);
    clock.SetRealPollMs(kAnswerPollMs);
    Start();
    ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
    if (raw) {
      ASSERT_EQ(caster->SendToClients(c.behindStatus), 1);
    }
    ASSERT_TRUE(receiving.WaitForReceived(c.first.size(), kRealLimit));
    EXPECT_TRUE(receiving.Received() == c.first);  // no diff of this size in the log
    ASSERT_EQ(caster->SendToClients(next), 1);
    ASSERT_TRUE(receiving.WaitForReceived(c.first.size() + next.size(), kRealLimit));
    EXPECT_TRUE(receiving.Received() == c.first + next);
    EXPECT_EQ(TotalReaching(c.first.size() + next.size()),
              static_cast<std::int64_t>(c.first.size() + next.size()));
    EXPECT_TRUE(raw ? caster->RequestText(0).empty() : caster->RequestText(0).size() > 255);
    EXPECT_EQ(caster->ReceivedFromClients(), "");
    NextAttempt();  // before this receiver goes
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
  EXPECT_EQ(FieldText(saved.comPortName), Wide(receiver.DevicePath() + ":"));
  EXPECT_EQ(saved.overrideLatitude.load(), saves.load() / 1000.0);
}

}  // namespace
}  // namespace quillon
