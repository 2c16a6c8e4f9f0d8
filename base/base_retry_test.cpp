// The Base worker's attempts: what a failed one leaves, the countdown between them, the final
// message after the last, and the stop during a login or a countdown.
#include <atomic>
#include <cerrno>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/base_session_fixture.h"
#include "common/strings.h"
#include "ntrip/caster_login.h"
#include "platform/system_error.h"
#include "platform/wait_step.h"
#include "session/countdown.h"

namespace quillon::testing {
namespace {

using BaseAttempts = BaseSessionFixture;

// The dialog's text, and what really happened as the detail for the command line.
TEST_F(BaseAttempts, EachFailedAttemptLeavesItsResultAndText) {
  const std::u16string rejected = LoadString(kStrCredentialsRejected);
  const std::u16string linkOpen = LoadString(kStrUnableToOpenComPort);
  const struct {
    const char* name;
    std::function<void()> prepare;
    BaseSessionResult result;
    std::u16string text;
    std::u16string detail;
    std::uint64_t minMs = 0, maxMs = 500;  // virtual time the attempt takes
  } cases[] = {
      // A refusal is decided as soon as its line is complete (what it says is JudgeLoginReply's).
      {"wrong password", [&] { SetFieldText(settings.password, u"wrong"); },
       BaseSessionResult::kRejected, rejected, u"The caster replied \"ERROR - Bad Password\"."},
      // Only a silent caster is waited for.
      {"silent caster",
       [&] {
         caster->Script(CasterBehaviour::kSilent);
         clock.SetRealPollMs(kFastPollMs);
       },
       BaseSessionResult::kRejected, rejected, u"The caster sent no reply.", 6000, 6100},
      {"connection reset", [&] { caster->Script(CasterBehaviour::kResetAfterRequest); },
       BaseSessionResult::kLoginIoFailed, LoadString(kStrAuthenticationIo),
       u"Reading the caster's reply failed: Connection reset by peer."},
      {"name that does not resolve", [&] { SetFieldText(settings.address, u"nowhere.invalid"); },
       BaseSessionResult::kConnectFailed,
       ConnectionErrorText(LookUpHostName("nowhere.invalid").problem),
       u"The host name \"nowhere.invalid\" did not resolve.", 0, 60000},
      {"nothing listening", [&] { caster->Stop(); }, BaseSessionResult::kConnectFailed,
       ConnectionErrorText(SystemErrorText(ECONNREFUSED)), u""},
      // Noticed at once, although the receiver is silent, not when a send fails.
      {"caster that closes after its OK",
       [&] { caster->Script(CasterBehaviour::kCloseAfterLogin); }, BaseSessionResult::kUploadFailed,
       LoadString(kStrSocketReadProblem), u"The caster closed the connection.", 0, 1000},
      // An interim reply before the POST's answer is passed over.
      {"100 Continue, then OK",
       [&] {
         DemoCasterConfig config;
         config.cannedReply = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n";
         config.cannedSplitAt = config.cannedReply.find("HTTP/1.1 200");
         UseCaster(config);
         caster->Script(CasterBehaviour::kCannedReply);
         settings.protocol.version = NtripVersion::k2;
       },
       BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem),
       u"The caster closed the connection.", 0, 1000},
      // The link's box says why; the status does not say it again.
      {"receiver missing", [&] { SetFieldText(settings.comPortName, u"/dev/quillon-none"); },
       BaseSessionResult::kLinkNotOpened, linkOpen, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UseCaster({});
    UseDefaultSettings();
    status.Reset();
    clock.SetRealPollMs(kAnswerPollMs);
    c.prepare();
    const std::size_t boxesBefore = sink.Boxes().size();
    const std::uint64_t start = clock.Elapsed();
    // An attempt that goes on past its time is ended, so that it fails rather than hangs.
    clock.beforeWaitAny = [&, deadline = start + c.maxMs + 1000](int) {
      if (clock.Elapsed() > deadline) status.running.store(0);
    };
    EXPECT_EQ(RunOnce(), c.result);
    EXPECT_EQ(status.StatusText(), c.text);
    EXPECT_EQ(status.Detail(), c.detail);
    EXPECT_EQ(status.Snapshot().error, true);
    EXPECT_FALSE(status.socket.IsOpen());
    EXPECT_GE(clock.Elapsed() - start, c.minMs);
    EXPECT_LE(clock.Elapsed() - start, c.maxMs);
    // A serial link that opened stays open for the next attempt.
    EXPECT_EQ(link.IsComPortOpen(), c.text != linkOpen);

    // Only the link shows a box of its own (the Rover's test reads it).
    EXPECT_EQ(sink.Boxes().size(), boxesBefore + (c.text == linkOpen ? 1 : 0));
    link.CloseComPort();
  }
}

// A stop a second into the connect, the wait for the caster's reply or a countdown ends the
// worker within a step, quietly, with the socket and the link closed.
TEST_F(BaseAttempts, AStopDuringTheConnectTheReplyWaitOrACountdownEndsTheWorkerWithinAStep) {
  enum Phase { kConnecting, kAwaitingTheReply, kCountingDown };
  for (const Phase phase : {kConnecting, kAwaitingTheReply, kCountingDown}) {
    SCOPED_TRACE(phase);
    UseCaster({});
    if (phase == kConnecting) caster->StopAccepting();
    if (phase == kAwaitingTheReply) caster->Script(CasterBehaviour::kSilent);
    if (phase == kCountingDown) SetFieldText(settings.password, u"wrong");
    clock.SetRealPollMs(kFastPollMs);
    std::atomic<std::uint64_t> stopAt{0};
    auto& hook = phase == kConnecting         ? clock.beforeWaitWritable
                 : phase == kAwaitingTheReply ? clock.beforeWait
                                              : clock.beforeSleep;
    hook = [&](int) {
      if (stopAt.load() == 0) stopAt.store(clock.Elapsed() + 1000);
      if (clock.Elapsed() >= stopAt.load()) status.running.store(0);
    };
    Start();
    ASSERT_TRUE(WorkerEnds());
    EndSession();
    EXPECT_LE(clock.Elapsed() - stopAt.load(),
              phase == kCountingDown ? kCountdownStepMs : kWaitStepMs);
    EXPECT_TRUE(sink.Boxes().empty());
    EXPECT_FALSE(status.socket.IsOpen() || link.IsComPortOpen());
    UseDefaultSettings();
  }
}

std::u16string FinalMessage(std::string_view elapsed, std::u16string_view reason) {
  return u"Could not re-connect to NTRIP Caster.\r\n\r\nElapsed Time: " + FromUtf8(elapsed) +
         u"\r\nReason: " + std::u16string(reason);
}

// Seconds 60 to 1 before each retry, none after the fifteenth attempt, then the final message.
// A serial link stays open through the countdowns; a Bluetooth link is opened at every attempt.
TEST_F(BaseAttempts, GivesUpAfterFifteenAttemptsWithACountdownBetweenThem) {
  for (const bool overBluetooth : {true, false}) {
    SCOPED_TRACE(overBluetooth);
    // Over Bluetooth the caster refuses the password; on the serial link the address is invalid.
    UseCaster({});
    if (overBluetooth) UseBluetooth();
    SetFieldText(settings.address, overBluetooth ? u"127.0.0.1" : u"192.168.1.300");
    SetFieldText(settings.password, u"wrong");
    const std::u16string reason = overBluetooth ? LoadString(kStrCredentialsRejected)
                                                 : u"Does not appear to be a valid address?";
    std::mutex mutex;
    std::vector<std::u16string> lines;  // each countdown text once per change
    bool linkClosedInCountdown = false;
    const StopAtExit stop{*this};
    clock.beforeSleep = [&](int) {
      const std::u16string text = status.StatusText();
      if (!text.starts_with(u"Retry")) return;
      std::lock_guard lock(mutex);
      linkClosedInCountdown |= !link.IsComPortOpen();
      if (lines.empty() || lines.back() != text) lines.push_back(text);
    };
    const std::size_t boxes = sink.Boxes().size();
    Start();
    ASSERT_TRUE(sink.WaitForBoxes(boxes + 1, 30000));
    ASSERT_TRUE(WorkerEnds());
    EXPECT_EQ(caster->ConnectionCount(), overBluetooth ? 15u : 0u);
    std::vector<std::u16string> expected;
    for (int attempt = 1; attempt < kBaseAttempts; ++attempt) {
      for (int seconds = 60; seconds >= 1; --seconds) {
        expected.push_back(FromUtf8("Retry attempt " + std::to_string(attempt) + "/15 in " +
                                    std::to_string(seconds) + " seconds.\r\n") +
                           reason);
      }
    }
    EXPECT_EQ(lines.size(), expected.size());
    EXPECT_TRUE(lines == expected);
    // No attempt was accepted since the reset.
    ASSERT_EQ(sink.Boxes().size(), boxes + 1);
    EXPECT_EQ(sink.Boxes().back().text, FinalMessage("00:00:00", reason));
    EXPECT_TRUE(status.Snapshot().error);
    EXPECT_FALSE(status.socket.IsOpen());
    if (overBluetooth) {
      EXPECT_EQ(bluetooth.CountCalls("Open"), 15u);
      EXPECT_EQ(bluetooth.CountCalls("Close"), 0u);
      link.ClearBluetoothChoice();
    } else {
      EXPECT_FALSE(linkClosedInCountdown);
      EXPECT_FALSE(link.IsComPortOpen());
    }
  }
}

// Refused, then accepted: what the receiver wrote during the countdown is dropped and what comes
// after the login goes in the pass that sees it, over NTRIP 2 in the chunked body of a POST.
// 65 s in, the caster goes away, and the upload with it; the final message gives that session's
// connect time.
TEST_F(BaseAttempts, AfterACountdownTheUploadIsLiveAndTheFinalMessageGivesItsConnectTime) {
  settings.protocol.version = NtripVersion::k2;
  SetFieldText(settings.userName, u"demo");
  DemoCasterConfig config;
  config.cannedReply = "ERROR - Bad Password\r\n";
  UseCaster(config);
  caster->Script(CasterBehaviour::kCannedReply);
  bool stale = false, gone = false;
  std::optional<std::uint64_t> loggedInAt;
  const StopAtExit stop{*this};
  // Every countdown step and upload pass; only the worker sleeps and waits until the final box.
  clock.beforeWaitAny = clock.beforeSleep = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    if (!LoggedIn()) {
      if (!stale) receiver.Emit("stale");
      stale = stale || receiver.WaitForEmitted(5, kRealLimit);
      return;
    }
    if (!loggedInAt) loggedInAt = now;
    if (!gone && now >= *loggedInAt + 65500) {
      caster->Stop();
      receiver.Emit(std::string(64 * 1024, 'e'));
      gone = true;
    }
  };
  Start();
  ASSERT_TRUE(Eventually([this] { return LoggedIn(); }));
  clock.SetRealPollMs(1000);  // the receiver's thread has time to write, even under load
  const std::uint64_t before = clock.Elapsed();
  receiver.Emit("live");
  ASSERT_TRUE(caster->WaitForUploaded(4, kRealLimit));
  EXPECT_EQ(caster->Uploaded(), "live");
  EXPECT_LT(clock.Elapsed() - before, kWaitStepMs);
  EXPECT_TRUE(stale);
  EXPECT_TRUE(caster->RequestText(1).starts_with("POST /DEMO HTTP/1.1\r\n"));
  clock.SetRealPollMs(kFastPollMs);
  ASSERT_TRUE(sink.WaitForBoxes(1, 30000));
  ASSERT_TRUE(WorkerEnds());
  EXPECT_EQ(caster->ConnectionCount(), 2u);
  const std::u16string text = sink.Boxes().at(0).text;
  const std::u16string reason = ConnectionErrorText(SystemErrorText(ECONNREFUSED));
  EXPECT_TRUE(text == FinalMessage("00:01:05", reason) || text == FinalMessage("00:01:06", reason))
      << std::string(text.begin(), text.end());
}

// The watchdog's new connect begins after the stop's close: only a later close can end it.
TEST_F(BaseAttempts, StopWhileTheWatchdogReopensTheBluetoothLink) {
  UseBluetooth();
  std::promise<void> reopening;
  int opens = 0;  // Open runs on the worker only
  bluetooth.BeforeOpen([&] {
    if (++opens < 2) return;
    bluetooth.SetOpensHang(true);
    reopening.set_value();
    bluetooth.WaitForCalls("Close", 2);  // the watchdog's close, then the stop's
  });
  clock.beforeWaitAny = [this](int) {
    if (LoggedIn()) clock.SetRealPollMs(kFastPollMs);  // silent passes run fast
  };
  Start();
  ASSERT_EQ(reopening.get_future().wait_for(kRealLimit), std::future_status::ready);
  auto stop = std::async(std::launch::async, [&] { StopSession(status, link, clock); });
  const bool stopped = stop.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(stopped) << "the stop waits for a connect that began after its close";
  if (!stopped) bluetooth.Close();  // lets the test end
  stop.get();
  bluetooth.BeforeOpen({});
  // Nothing is left: no worker, no socket or link open, and no text.
  EXPECT_FALSE(status.HasWorker() || status.socket.IsOpen() || link.IsComPortOpen());
  EXPECT_FALSE(status.Snapshot().running || status.Snapshot().error);
  EXPECT_EQ(status.StatusText(), u"");
}

}  // namespace
}  // namespace quillon::testing
