// A Rover session in its relay loop: both directions, a side that holds back, the stop from
// every place it can be, and the reconnects after a session ends.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/strings.h"
#include "demo/correction_stream.h"
#include "ntrip/gga_override.h"
#include "ntrip/nmea_test_sentences.h"
#include "ntrip/position_sentence.h"
#include "platform/serial_port.h"
#include "rover/reconnect_wait.h"
#include "rover/rover_session_fixture.h"
#include "session/caster_uplink.h"
#include "session/countdown.h"
#include "testing/manual_caster.h"
#include "testing/pty_pair.h"
#include "testing/stop_guard.h"

namespace quillon::testing {
namespace {

using RoverRelayTest = RoverSessionFixture;

// Both directions have more waiting than many passes move (the receiver's share within the 64 kB
// that may wait for the caster, so none is dropped); then each block goes in the pass it comes.
TEST_F(RoverRelayTest, NeitherDirectionStarvesTheOtherAndEachMovesAsItArrives) {
  const std::string down = CorrectionStream(1).Next(200'000);
  const std::string up = CorrectionStream(2).Next(48'000);
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  receiver.Emit(up);
  ASSERT_EQ(caster->SendToClients(down), 1);
  ASSERT_TRUE(receiver.WaitForReceived(down.size() / 2, kRealLimit));
  EXPECT_GE(caster->ReceivedFromClients().size(), 4096u);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(up.size(), kRealLimit));
  ASSERT_TRUE(receiver.WaitForReceived(down.size(), kRealLimit));
  EXPECT_TRUE(caster->ReceivedFromClients() == up);  // no diff of this size in the log
  EXPECT_TRUE(receiver.Received() == down);
  EXPECT_EQ(TotalReaching(down.size()), static_cast<std::int64_t>(down.size()));
  EXPECT_EQ(relayedCopy.Pushed(), down.size());
  // Waits look long in real time: the other side's thread has time to write, even under load.
  // None sits out a pass's 100 ms wait.
  clock.SetRealPollMs(1000);
  const std::uint64_t shortWaitEnds = clock.Elapsed();  // the wait begun under the short poll
  Eventually([&] { return clock.Elapsed() != shortWaitEnds; });
  std::size_t upstream = up.size();
  for (std::size_t i = 1; i <= 5; ++i) {
    SCOPED_TRACE(i);
    std::uint64_t before = clock.Elapsed();
    ASSERT_EQ(caster->SendToClients(std::string(32, '\xD3')), 1);
    ASSERT_TRUE(receiver.WaitForReceived(down.size() + 32 * i, kRealLimit));
    EXPECT_LT(clock.Elapsed() - before, 100u);
    const std::string gga = MakeGgaSentence(1'700'000'000 + i, 52.52, 13.40);
    before = clock.Elapsed();
    receiver.Emit(gga);
    upstream += gga.size();
    ASSERT_TRUE(caster->WaitForReceivedFromClients(upstream, kRealLimit));
    EXPECT_LT(clock.Elapsed() - before, 100u);
  }
  // Virtual time passes only while nothing flows: the rate shows a silent second later.
  clock.SetRealPollMs(kFastPollMs);
  EXPECT_TRUE(Eventually([this] { return status.Snapshot().peak > 0; }));
  EXPECT_TRUE(sink.Boxes().empty());
}

// Switched on during the session, as the override dialog does: what came before goes upstream
// unchanged. The worker passes the clock's tick even when the receiver is silent: a sentence
// whose line end never comes goes upstream, rewritten, after a second.
TEST_F(RoverRelayTest, WithTheOverrideOnASentenceWithoutLineEndGoesUpstreamAfterASilentSecond) {
  const std::string& gga = nmea::kSirfGga;
  const std::string bare = gga.substr(0, gga.size() - 2);
  Start();
  ASSERT_TRUE(LoggedIn());
  const std::string original = MakeGgaSentence(clock.Now(), 52.52, 13.40);
  receiver.Emit(original);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size(), kRealLimit));
  settings.overrideLatitude.store(5.5);
  settings.overrideLongitude.store(-0.5);
  settings.overrideEnabled.store(1);
  const auto start = clock.Elapsed();
  receiver.Emit(bare);
  NmeaSentence rewritten{};
  const std::size_t size = RewritePositionSentence(bare, 5.5, -0.5, rewritten);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size() + size, kRealLimit));
  EXPECT_GE(clock.Elapsed() - start, kHeldFragmentLimitMs);
  EXPECT_EQ(caster->ReceivedFromClients(), original + std::string(rewritten.data(), size));
  std::string received;
  while (const SharedBlock block = receivedCopy.TakeBlock()) received += *block;
  EXPECT_EQ(received, original + bare);
}

// The status shows the solution as the receiver reported it, whatever goes upstream: here the
// pace holds the second GGA back.
TEST_F(RoverRelayTest, TheStatusShowsTheReceiversOwnSolution) {
  settings.upstream.ggaSeconds = 60;
  Start();
  ASSERT_TRUE(LoggedIn());
  receiver.Emit(nmea::kSirfGga);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(nmea::kSirfGga.size(), kRealLimit));
  receiver.Emit(nmea::Gga("GN", "4", "14", "0.8", "1.0", "2001"));
  EXPECT_TRUE(Eventually([this] {
    const std::optional<ReceiverSolution> solution = status.Snapshot().solution;
    return solution && SolutionText(*solution) == "RTK fixed, 14 sats, age 1.0 s";
  }));
  EXPECT_EQ(caster->ReceivedFromClients(), nmea::kSirfGga);
}

// The stop comes as a pass begins with corrections waiting: they still reach the receiver, and
// the counters the stop returns count them.
TEST_F(RoverRelayTest, TheTotalAStopReturnsCountsThePassThatSawTheStop) {
  UseBluetooth();
  std::atomic<int> stage{0};  // 1: the worker is held at a pass's start; 2: it goes on
  clock.beforeWaitAny = [&](int) {
    if (int zero = 0; stage.compare_exchange_strong(zero, 1)) {
      Eventually([&] { return stage.load() == 2; });
    }
  };
  Start();
  ASSERT_TRUE(Eventually([&] { return stage.load() == 1; }));
  ASSERT_EQ(caster->SendToClients(std::string(1024, '\xD3')), 1);
  ASSERT_TRUE(Eventually([this] {
    int waiting = 0;
    return ioctl(status.socket.Get(), FIONREAD, &waiting) == 0 && waiting >= 1024;
  }));
  bool ended = false;
  clock.beforeSleep = [&](int) {  // the stop's 4 s, in which the worker ends
    if (stage.exchange(2) == 1) ended = WorkerEnds();
  };
  const SessionSnapshot last = StopSession(status, link, clock);
  ASSERT_TRUE(ended);
  EXPECT_EQ(bluetooth.TakeWritten().size(), 1024u);
  EXPECT_EQ(last.total, 1024);
}

// The worker's wait blocks as in the system, so that only the stop's wake-up ends it in time.
TEST_F(RoverRelayTest, AStopEndsTheSessionIdleWhereverTheWorkerIs) {
  enum Phase { kConnecting, kReadingTheLoginReply, kShowingABox, kRelaying };
  for (const Phase phase : {kConnecting, kReadingTheLoginReply, kShowingABox, kRelaying}) {
    SCOPED_TRACE(phase);
    RecordingMessageSink& boxes = NextAttempt();
    boxes.HoldBoxesOpen(true);
    UseCaster({});
    if (phase == kConnecting) caster->StopAccepting();
    if (phase == kReadingTheLoginReply) caster->Script(CasterBehaviour::kSilent);
    SetFieldText(settings.address, phase == kShowingABox ? u"10.0.0.300" : u"127.0.0.1");
    clock.SetRealPollMs(kAnswerPollMs);
    auto relaying = std::make_shared<std::atomic<bool>>(false);  // outlives an early return
    auto blocked =
        phase == kConnecting ? BlockWaitWhen(clock, clock.beforeWaitWritable)
        : phase == kReadingTheLoginReply
            ? BlockWaitWhen(clock, clock.beforeWait)
            : BlockWaitWhen(clock, clock.beforeWaitAny, [relaying] { return relaying->load(); });
    Start();
    ASSERT_TRUE(phase != kShowingABox || boxes.WaitForBoxes(1));
    if (phase == kRelaying) {
      ASSERT_TRUE(LoggedIn());
      ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
      ASSERT_EQ(caster->SendToClients("some data"), 1);
      ASSERT_TRUE(receiver.WaitForReceived(9, kRealLimit));
      relaying->store(true);
    }
    ASSERT_TRUE(phase == kShowingABox || blocked.wait_for(kRealLimit) == std::future_status::ready);
    const auto before = clock.Elapsed();
    EXPECT_TRUE(StopsInTime([&] { StopSession(status, link, clock); }, status.socket));
    EXPECT_GE(clock.Elapsed() - before, 5000u);
    EXPECT_FALSE(status.HasWorker() || status.socket.IsOpen() || link.IsComPortOpen());
    const auto snapshot = status.Snapshot();  // reset
    EXPECT_FALSE(snapshot.running || snapshot.error || snapshot.total || snapshot.elapsedSeconds);
    EXPECT_EQ(boxes.Boxes().size(), phase == kShowingABox ? 1u : 0u);
    const bool connected = phase == kReadingTheLoginReply || phase == kRelaying;
    EXPECT_TRUE(!connected || caster->WaitForClosed(0, kRealLimit));
    EndSession();
  }
}

// The 20 s count from the caster's last acknowledgement; its corrections flow meanwhile.
TEST_F(RoverRelayTest,
       ACasterThatTakesNoUpstreamLosesTheSessionAfterTwentySecondsMeanwhileCorrectionsFlow) {
  ManualCaster manual("ICY 200 OK\r\n");
  settings.port = manual.Port();
  clock.beforeWait = [&](int) { manual.Answer(); };
  Start();
  ASSERT_TRUE(LoggedIn());
  clock.SetRealPollMs(200);  // until the caster's window is full
  std::string burst;
  while (burst.size() < 32 * 1024) burst += nmea::kGsv;
  receiver.Emit(burst);
  ASSERT_TRUE(receiver.WaitForEmitted(burst.size(), kRealLimit));
  WaitUntilAcknowledgementsSettle(status.socket.Get());
  const std::uint64_t stalledAt = clock.Elapsed();
  clock.SetRealPollMs(kFastPollMs);
  std::string sent;
  const auto deadline = std::chrono::steady_clock::now() + kRealLimit;
  for (int block = 0; !status.WaitWorkerEnded(2); ++block) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the session was never lost";
    const std::string correction = "\xD3 correction " + std::to_string(block);
    if (manual.SendToClient(correction)) sent += correction;
  }
  ExpectGaveUpWith(sink, LoadString(kStrSocketReadProblem));
  EXPECT_EQ(sink.Boxes().at(0).detail, u"The caster took no data for 20 seconds.");
  EXPECT_GE(clock.Elapsed() - stalledAt, kCasterStallLimitMs - 400);
  EXPECT_LE(clock.Elapsed() - stalledAt, kCasterStallLimitMs + 200);
  const std::string relayed = receiver.Received();
  EXPECT_TRUE(sent.starts_with(relayed));
  EXPECT_GE(relayed.size(), sent.size() / 2);
}

// Said in the status from the first second of the stall, and in the box when it ends.
TEST_F(RoverRelayTest, AReceiverThatTakesNoDataForTenSecondsIsLost) {
  PtyPair pty;  // nobody reads the receiver's end
  SetFieldText(settings.comPortName, FromUtf8(pty.DevicePath()));
  std::atomic<std::uint64_t> stalledAt{0};
  clock.beforeWaitAny = [&](int) {  // the worker's waits, also those for room at the receiver
    if (stalledAt.load() == 0 && status.Snapshot().receiverStalled) stalledAt = clock.Elapsed();
  };
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  clock.SetRealPollMs(1000);  // virtual time runs as real time until the terminal is full
  // Far more than a terminal holds; the send ends when the worker lets go of the connection.
  auto flood = std::async(std::launch::async,
                          [this] { return caster->SendToClients(std::string(1 << 20, '\xD3')); });
  // Full once what waits at the receiver's end has stopped growing.
  for (int queued = 0, last = -1; queued == 0 || queued != last;) {
    last = queued;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(ioctl(pty.ReceiverFd(), FIONREAD, &queued), 0);
  }
  const std::uint64_t fullAt = clock.Elapsed();
  clock.SetRealPollMs(kFastPollMs);
  ExpectGaveUpWith(sink, LoadString(kStrComPortIoError));
  EXPECT_EQ(sink.Boxes().at(0).detail, u"The receiver took no data for 10 seconds.");
  EXPECT_GE(clock.Elapsed() - fullAt, kSerialWriteStallLimitMs - 300);
  EXPECT_LE(clock.Elapsed() - fullAt, kSerialWriteStallLimitMs + 300);
  EXPECT_GE(stalledAt.load(), fullAt + kReceiverStallShownMs - 300);
  EXPECT_LE(stalledAt.load(), fullAt + kReceiverStallShownMs + 300);
  EXPECT_FALSE(status.Snapshot().receiverStalled);
  flood.get();
}

class RoverReconnectTest : public RoverSessionFixture {
 protected:
  RoverReconnectTest() {
    reconnect = true;
    // Logins wait for the caster's answer in real time; the relay and the countdowns run fast.
    clock.beforeWait = [this](int) { clock.SetRealPollMs(kAnswerPollMs); };
    clock.beforeWaitAny = [this](int) { clock.SetRealPollMs(kFastPollMs); };
    clock.beforeSleep = [this](int) { NoteCountdownStep(); };
  }

  struct Countdown {
    int seconds;
    std::u16string reason, detail;
    std::uint64_t at;
  };

  // At every countdown step (also the stop's sleeps on the test's thread): a countdown begins
  // where the seconds go up; running is cleared as countdown `stopAt` begins.
  void NoteCountdownStep() {
    std::lock_guard guard(status.lock);
    linkClosedInCountdown |= !link.IsComPortOpen();
    connectedInCountdown |= status.connected;
    if (status.retryInSeconds > lastSeconds) {
      countdowns.push_back({status.retryInSeconds, status.reason, status.detail, clock.Elapsed()});
      if (countdowns.size() == stopAt) status.running.store(0);
    }
    lastSeconds = status.retryInSeconds;
  }

  // Guarded by status.lock; read once the worker has ended.
  std::vector<Countdown> countdowns;
  int lastSeconds = 0;
  std::size_t stopAt = 0;
  bool linkClosedInCountdown = false, connectedInCountdown = false;
};

// Two sessions the caster ends at once, one it keeps silent, a refusal and one more it ends:
// 5, 10, then 5 after the minute of silence, 60 after the refusal and 60 again, then a stop.
TEST_F(RoverReconnectTest, TheWaitsDoubleBeginAgainAfterAMinuteOfRelayingAndAreLongAfterARefusal) {
  DemoCasterConfig config;
  config.cannedReply = "HTTP/1.0 401 Unauthorized\r\n\r\n";
  UseCaster(config);
  caster->Script(CasterBehaviour::kCloseAfterLogin, 2);
  caster->Script(CasterBehaviour::kNormal);
  caster->Script(CasterBehaviour::kCannedReply);
  caster->Script(CasterBehaviour::kCloseAfterLogin);
  stopAt = 5;
  // What the receiver writes before the silent session is stale by its login.
  clock.beforeSleep = [this](int) {
    NoteCountdownStep();
    if (countdowns.size() == 2 && receiver.Emitted().empty()) receiver.Emit("stale");
    ASSERT_TRUE(countdowns.size() < 2 || receiver.WaitForEmitted(5, kRealLimit));
  };
  Start();
  ASSERT_TRUE(WorkerEnds());
  EXPECT_EQ(caster->ReceivedFromClients(), "");
  std::vector<int> waits;
  for (const Countdown& countdown : countdowns) waits.push_back(countdown.seconds);
  ASSERT_EQ(waits, (std::vector<int>{5, 10, 5, 60, 60}));
  EXPECT_EQ(countdowns[0].reason, LoadString(kStrSocketReadProblem));
  EXPECT_EQ(countdowns[0].detail, u"The caster closed the connection.");
  EXPECT_LE(countdowns[0].at, 1000u);  // at once
  EXPECT_EQ(countdowns[2].detail, u"The caster sent nothing for 60 seconds.");
  EXPECT_GE(countdowns[2].at - countdowns[1].at, 10000u + 60000u);  // the wait, the silence
  EXPECT_LE(countdowns[2].at - countdowns[1].at, 10000u + 63000u);
  EXPECT_EQ(countdowns[3].reason, LoadString(kStrCredentialsRejected));
  EXPECT_EQ(countdowns[3].detail,
            u"The caster refused the user name or password: it replied \"HTTP/1.0 401 "
            u"Unauthorized\".");
  EXPECT_EQ(caster->ConnectionCount(), 5u);
  // The receiver's link stayed open throughout; the status showed no connection meanwhile.
  EXPECT_FALSE(linkClosedInCountdown || connectedInCountdown);
  // The stop as the fifth wait began: within a step, quietly, with everything closed.
  EXPECT_LE(clock.Elapsed() - countdowns.back().at, kCountdownStepMs);
  EXPECT_FALSE(status.Snapshot().error || link.IsComPortOpen() || status.socket.IsOpen());
  EXPECT_TRUE(sink.Boxes().empty());
}

// A broken chunk size in the reply's own read: what came good before it reaches the receiver,
// and since the caster had said yes, the next attempt waits as after a lost session.
TEST_F(RoverReconnectTest, ABrokenChunkSizeIsALostSessionAfterWhatCameGoodBeforeIt) {
  DemoCasterConfig config;
  config.cannedReply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\n";
  UseCaster(config);
  caster->Script(CasterBehaviour::kCannedReply);
  settings.protocol.version = NtripVersion::k2;
  stopAt = 1;
  Start();
  ASSERT_TRUE(WorkerEnds());
  EXPECT_TRUE(receiver.WaitForReceived(5, kRealLimit));
  EXPECT_EQ(receiver.Received(), "hello");
  ASSERT_EQ(countdowns.size(), 1u);
  EXPECT_EQ(countdowns[0].seconds, kFirstReconnectWaitSeconds);
  EXPECT_EQ(countdowns[0].reason, LoadString(kStrSocketReadProblem));
  EXPECT_EQ(countdowns[0].detail,
            u"The caster sent a malformed chunk size: \"zz\" is no hexadecimal number.");
}

// An attempt does not log in without the receiver; one still gone is waited for like a caster.
TEST_F(RoverReconnectTest, ALostReceiverIsOpenedAgainAtTheNextAttempt) {
  stopAt = 3;
  // The port is a name of this test's own: a test run beside this one may be given the freed
  // pseudo-terminal's number, which the attempts must not open.
  const std::filesystem::path port = folder.Path() / "receiver";
  std::filesystem::create_symlink(receiver.DevicePath(), port);
  SetFieldText(settings.comPortName, FromUtf8(port.string()));
  // The receiver's thread takes its device away in its own time: the countdown waits for it.
  clock.beforeSleep = [this, port](int) {
    Eventually([this] { return !std::filesystem::exists(receiver.DevicePath()); });
    std::filesystem::remove(port);
    NoteCountdownStep();
  };
  Start();
  ASSERT_TRUE(LoggedIn());
  receiver.Disappear();
  ASSERT_TRUE(WorkerEnds());
  ASSERT_EQ(countdowns.size(), 3u);
  EXPECT_EQ(countdowns[0].reason, LoadString(kStrComPortIoError));
  EXPECT_EQ(countdowns[1].reason, LoadString(kStrUnableToOpenComPort));
  EXPECT_EQ(countdowns[2].seconds, 20);
  EXPECT_EQ(caster->ConnectionCount(), 1u);
  EXPECT_EQ(sink.Boxes().size(), 2u);  // the link's own message, each time it did not open
}

}  // namespace
}  // namespace quillon::testing
