// A Rover session in its relay loop, how it ends, and the stop from every place it can be.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "common/strings.h"
#include "demo/correction_stream.h"
#include "ntrip/gga_override.h"
#include "ntrip/nmea_test_sentences.h"
#include "ntrip/position_sentence.h"
#include "rover/rover_session_fixture.h"
#include "testing/stop_guard.h"

namespace quillon {
namespace {

using testing::RecordingMessageSink;
using RoverRelayTest = testing::RoverSessionFixture;

// Each direction has more waiting than many passes move; both must get turns. The receiver's
// share stays within what may wait for the caster (about 64 kB), so none of it is dropped however
// late the caster's thread reads. A block of corrections or a GGA that arrives during the pause
// between passes ends the pause: each goes on its way in the pass that sees it come.
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
// unchanged. The worker passes the clock's tick even when the receiver is silent: the start of
// a sentence it left unfinished goes upstream after a second, and its late rest still goes
// rewritten.
TEST_F(RoverRelayTest, WithTheOverrideOnAnUnfinishedStartGoesUpstreamAfterASilentSecond) {
  const std::string& gga = testing::nmea::kSirfGga;
  Start();
  ASSERT_TRUE(LoggedIn());
  const std::string original = MakeGgaSentence(clock.Now(), 52.52, 13.40);
  receiver.Emit(original);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size(), kRealLimit));
  settings.overrideLatitude.store(5.5);
  settings.overrideLongitude.store(-0.5);
  settings.overrideEnabled.store(1);
  const auto start = clock.Elapsed();
  receiver.Emit(gga.substr(0, 4));
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size() + 4, kRealLimit));
  EXPECT_GE(clock.Elapsed() - start, kHeldFragmentLimitMs);
  receiver.Emit(gga.substr(4));
  NmeaSentence rewritten{};
  const std::size_t size = RewritePositionSentence(gga, 5.5, -0.5, rewritten);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size() + size, kRealLimit));
  EXPECT_EQ(caster->ReceivedFromClients(), original + std::string(rewritten.data(), size));
}

// The stop comes as a pass begins with corrections waiting: they still reach the receiver, and
// the counters the stop returns count them.
TEST_F(RoverRelayTest, TheTotalAStopReturnsCountsThePassThatSawTheStop) {
  UseBluetooth();
  std::promise<void> atPass, go;
  std::shared_future<void> released = go.get_future().share();
  std::atomic<bool> hold{true};
  clock.beforeWaitAny = [&](int) {  // the worker's passes only
    if (!hold.exchange(false)) return;
    atPass.set_value();
    released.wait();
  };
  Start();
  ASSERT_EQ(atPass.get_future().wait_for(kRealLimit), std::future_status::ready);
  ASSERT_EQ(caster->SendToClients(std::string(1024, '\xD3')), 1);
  ASSERT_TRUE(Eventually([this] {
    int waiting = 0;
    return ioctl(status.socket.Get(), FIONREAD, &waiting) == 0 && waiting >= 1024;
  }));
  bool ended = false;
  clock.beforeSleep = [&](int) {  // the stop's 4 s, in which the worker ends
    if (ended) return;
    go.set_value();
    ended = WorkerEnds();
  };
  const SessionSnapshot last = StopSession(status, link, clock);
  ASSERT_TRUE(ended);
  EXPECT_EQ(bluetooth.TakeWritten().size(), 1024u);
  EXPECT_EQ(last.total, 1024);
}

// Wherever the worker is, a stop ends the session idle with only the boxes shown before it. The
// worker's wait blocks as in the system, so that only the stop's wake-up ends it in time.
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
    auto blocked = phase == kConnecting ? testing::BlockWaitWhen(clock, clock.beforeWaitWritable)
                   : phase == kReadingTheLoginReply
                       ? testing::BlockWaitWhen(clock, clock.beforeWait)
                       : testing::BlockWaitWhen(clock, clock.beforeWaitAny,
                                                [relaying] { return relaying->load(); });
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
    EXPECT_TRUE(testing::StopsInTime([&] { StopSession(status, link, clock); }, status.socket));
    EXPECT_GE(clock.Elapsed() - before, 5000u);
    EXPECT_FALSE(status.HasWorker() || status.socket.IsOpen() || link.IsComPortOpen());
    const auto snapshot = status.Snapshot();
    EXPECT_FALSE(snapshot.running || snapshot.error);
    EXPECT_EQ(snapshot.total, 0);
    EXPECT_EQ(snapshot.elapsedSeconds, 0);
    EXPECT_EQ(boxes.Boxes().size(), phase == kShowingABox ? 1u : 0u);
    const bool connected = phase == kReadingTheLoginReply || phase == kRelaying;
    EXPECT_TRUE(!connected || caster->WaitForClosed(0, kRealLimit));
    clock.beforeWait = clock.beforeWaitWritable = clock.beforeWaitAny = [](int) {};
  }
}

}  // namespace
}  // namespace quillon
