// A Rover that reconnects by itself; the receiver link stays open unless it was what failed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/strings.h"
#include "rover/rover_session_fixture.h"

namespace quillon {
namespace {

class RoverReconnectTest : public testing::RoverSessionFixture {
 protected:
  RoverReconnectTest() {
    reconnect = true;
    // Logins wait for the caster's answer in real time; the relay and the countdowns run fast.
    clock.beforeWait = [this](int) { clock.SetRealPollMs(kAnswerPollMs); };
    clock.beforeWaitAny = [this](int) { clock.SetRealPollMs(kFastPollMs); };
    clock.beforeSleep = [this](int) { NoteCountdownStep(); };
  }
  ~RoverReconnectTest() override { StopSession(status, link, clock, StopKind::kClose); }

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
// 5, 10, then 5 after the minute of silence, 60 after the refusal and 60 again, until a stop.
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
  // Each wait is a wait: the next attempt follows it, not sooner.
  for (std::size_t i = 0; i + 1 < countdowns.size(); ++i) {
    EXPECT_GE(countdowns[i + 1].at - countdowns[i].at, 1000u * waits[i]) << i;
  }
  EXPECT_EQ(caster->ConnectionCount(), 5u);
  // The receiver's link stayed open throughout; the status showed no connection meanwhile.
  EXPECT_FALSE(linkClosedInCountdown || connectedInCountdown);
  EXPECT_TRUE(sink.Boxes().empty());
}

// A stop as each of the first four waits begins ends the worker within a countdown step.
TEST_F(RoverReconnectTest, AStopDuringAnyWaitEndsTheWorkerWithinAStep) {
  for (stopAt = 1; stopAt <= 4; ++stopAt) {
    SCOPED_TRACE(stopAt);
    const testing::RecordingMessageSink& boxes = NextAttempt();
    countdowns.clear();
    lastSeconds = 0;
    UseCaster({});
    caster->SetDefaultBehaviour(CasterBehaviour::kCloseAfterLogin);
    Start();
    ASSERT_TRUE(WorkerEnds());
    ASSERT_EQ(countdowns.size(), stopAt);
    EXPECT_LE(clock.Elapsed() - countdowns.back().at, 100u);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(status.Snapshot().error);
    EXPECT_FALSE(link.IsComPortOpen() || status.socket.IsOpen());
  }
}

// An attempt does not log in without the receiver; one still gone is waited for like a caster.
TEST_F(RoverReconnectTest, ALostReceiverIsOpenedAgainAtTheNextAttempt) {
  stopAt = 3;
  // The port is a name of this test's own: a test run beside this one may be given the freed
  // pseudo-terminal's number, which the attempts must not open.
  const std::filesystem::path port = folder.Path() / "receiver";
  std::filesystem::create_symlink(receiver.DevicePath(), port);
  SetFieldText(settings.comPortName, testing::Wide(port.string()));
  // The receiver's thread takes its device away in its own time: the countdown waits for it.
  clock.beforeSleep = [this, port](int) {
    const auto deadline = std::chrono::steady_clock::now() + kRealLimit;
    while (std::filesystem::exists(receiver.DevicePath()) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
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
}  // namespace quillon
