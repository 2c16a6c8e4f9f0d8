// The stop sequence ends a worker wherever it is stuck, leaves nothing behind, and keeps its
// timing on the injected clock.
#include "link/stop_session.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "testing/pty_pair.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::PtyPair;
using testing::RecordingMessageSink;
using testing::VirtualClock;

class StopSessionTest : public ::testing::Test {
 protected:
  StopSessionTest() { status.owner.store(&sink); }

  // Starts a worker as a front end does, and waits until its body is under way.
  void Start(std::function<void()> body) {
    status.running.store(1);
    status.StartWorker([this, body = std::move(body)] {
      started.store(true);
      body();
    });
    while (!started.load()) std::this_thread::yield();
  }

  void ExpectIdleAndClean() {
    EXPECT_FALSE(status.HasWorker());
    EXPECT_FALSE(status.socket.IsOpen());
    const auto snapshot = status.Snapshot();
    EXPECT_FALSE(snapshot.running);
    EXPECT_FALSE(snapshot.error);
    EXPECT_EQ(snapshot.rate, 0);
    EXPECT_EQ(snapshot.peak, 0);
    EXPECT_EQ(snapshot.total, 0);
    EXPECT_EQ(snapshot.elapsed, "00:00:00");
    EXPECT_FALSE(status.lock.HeldByThisThread());
  }

  VirtualClock clock;
  RecordingMessageSink sink;
  SessionStatus status;
  ComLink link{clock, nullptr};
  std::atomic<bool> started{false};
};

TEST_F(StopSessionTest, EndsAWorkerBlockedInASocketReadWithoutAMessage) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  status.socket.Set(pair[0]);
  {
    std::lock_guard guard(status.lock);
    status.rate = 10;
    status.peak = 20;
    status.total = 300;
  }
  Start([&] {
    char byte;
    const int fd = status.socket.Get();
    recv(fd, &byte, 1, 0);  // no data ever comes: only the stop frees this
    // What the worker does when its read fails: give up. It must stay silent.
    status.GiveUp(u"read failed", u"Error");
  });

  const auto before = clock.Elapsed();
  StopSession(status, link, clock);
  EXPECT_GE(clock.Elapsed() - before, 5000u);  // the 4 s grace and the 1 s after the reset
  ExpectIdleAndClean();
  EXPECT_TRUE(sink.Boxes().empty());
  close(pair[1]);
}

TEST_F(StopSessionTest, DismissesTheBoxAWorkerWaitsOnAndRaisesNoError) {
  sink.HoldBoxesOpen(true);  // nobody answers the box
  Start([&] { status.GiveUp(u"Connection Error", u"Error"); });
  ASSERT_TRUE(sink.WaitForBoxes(1));

  StopSession(status, link, clock);
  ExpectIdleAndClean();
  EXPECT_EQ(sink.Boxes().size(), 1u);
}

TEST_F(StopSessionTest, LetsGoOfTheCallersLockForAWorkerWaitingOnItAndTakesItBack) {
  std::atomic<bool> gotLock{false};
  status.lock.lock();  // the dialog's timer runs the stop inside the lock
  status.lock.lock();
  Start([&] {
    std::lock_guard guard(status.lock);
    gotLock.store(true);
  });

  StopSession(status, link, clock);
  EXPECT_TRUE(gotLock.load());
  EXPECT_FALSE(status.HasWorker());
  EXPECT_TRUE(status.lock.HeldByThisThread());
  status.lock.unlock();
  EXPECT_TRUE(status.lock.HeldByThisThread());  // held twice, released once
  status.lock.unlock();
  EXPECT_FALSE(status.lock.HeldByThisThread());
}

TEST_F(StopSessionTest, EndsAWorkerStuckWritingToAReceiverThatDoesNotRead) {
  PtyPair pty;
  WideField<64> name{};
  SetFieldText(name, std::u16string(pty.DevicePath().begin(), pty.DevicePath().end()));
  ASSERT_TRUE(link.OpenComPort(nullptr, name, 115200));
  bool written = true;
  Start([&] {
    const std::vector<std::uint8_t> block(4 << 20, 0x42);
    written = link.WriteComPort(block.data(), block.size());
  });

  StopSession(status, link, clock);
  EXPECT_FALSE(written);
  EXPECT_FALSE(link.IsComPortOpen());
  ExpectIdleAndClean();
}

TEST_F(StopSessionTest, ClosingAfterTheWorkerGaveUpSkipsTheWaitsButStillCleansUp) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  Start([&] {
    status.socket.Set(pair[0]);
    status.GiveUp(u"gave up", u"Error");  // answered at once
  });
  ASSERT_TRUE(status.WaitWorkerEnded(10000));
  EXPECT_TRUE(status.Snapshot().error);

  const auto before = clock.Elapsed();
  StopSession(status, link, clock, StopKind::kClose);
  EXPECT_EQ(clock.Elapsed(), before);
  ExpectIdleAndClean();
  // The socket the worker left open is closed: its peer sees the end.
  char byte;
  EXPECT_EQ(recv(pair[1], &byte, 1, 0), 0);
  close(pair[1]);
}

TEST_F(StopSessionTest, DisconnectWaitsEvenWhenTheWorkerHasAlreadyGivenUp) {
  Start([&] { status.GiveUp(u"gave up", u"Error"); });
  ASSERT_TRUE(status.WaitWorkerEnded(10000));
  const auto before = clock.Elapsed();
  StopSession(status, link, clock, StopKind::kDisconnect);
  EXPECT_GE(clock.Elapsed() - before, 5000u);
  ExpectIdleAndClean();
}

TEST(ElapsedTextTest, ShowsTheTimeOfDayReachedSoItStartsAgainAfter24Hours) {
  const std::pair<std::time_t, const char*> cases[] = {
      {0, "00:00:00"},          {59, "00:00:59"},         {61, "00:01:01"},
      {3661, "01:01:01"},       {86399, "23:59:59"},      {86400, "00:00:00"},
      {86400 + 3723, "01:02:03"}, {10 * 86400 + 5, "00:00:05"},
      {-1, "23:59:59"},  // a calendar clock set back shows a sane text, not garbage
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_STREQ(FormatElapsed(seconds).data(), text) << seconds;
  }
}

}  // namespace
}  // namespace quillon
