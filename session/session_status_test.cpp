// The session status: the stop sequence on its own (the Rover session tests stop a real worker
// from every phase), its destructor, and the counters the workers keep in it.
#include "session/session_status.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <limits>

#include "session/stop_session.h"
#include "session/throughput.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::RecordingMessageSink;
using testing::VirtualClock;

class StopSessionTest : public ::testing::Test {
 protected:
  StopSessionTest() { status.owner.store(&sink); }

  // Starts a worker as a front end does.
  void Start(std::function<void()> body) {
    status.running.store(1);
    status.StartWorker(std::move(body));
  }

  void ExpectIdleAndClean() {
    EXPECT_FALSE(status.HasWorker() || status.socket.IsOpen());
    const auto snapshot = status.Snapshot();
    EXPECT_FALSE(snapshot.running || snapshot.error);
    EXPECT_EQ(snapshot.rate + snapshot.peak + snapshot.total + snapshot.elapsedSeconds, 0);
    EXPECT_FALSE(status.lock.HeldByThisThread());
  }

  VirtualClock clock;
  RecordingMessageSink sink;
  SessionStatus status;
  ComLink link{clock, nullptr};
};

// The dialog's timer runs the stop inside the lock (held twice here); a windowed front end
// handles its events between the attempts, not in one blocking wait.
TEST_F(StopSessionTest, RunsTheCallersWorkWhileTheWorkerHasNotEndedAndLendsItTheLock) {
  std::atomic<int> rounds{0};
  std::atomic<bool> gotLock{false};
  status.lock.lock();
  status.lock.lock();
  Start([&] {
    while (rounds.load() < 3) std::this_thread::yield();
    std::lock_guard guard(status.lock);
    gotLock.store(true);
  });
  StopSession(status, link, clock, StopKind::kDisconnect, [&] { ++rounds; });
  EXPECT_TRUE(gotLock.load());
  EXPECT_GE(rounds.load(), 3);
  status.lock.unlock();
  EXPECT_TRUE(status.lock.HeldByThisThread());
  status.lock.unlock();
  ExpectIdleAndClean();
}

// The socket the worker left open is closed either way: its peer sees the end.
TEST_F(StopSessionTest, AfterTheWorkerGaveUpOnlyDisconnectWaitsAndBothCleanUp) {
  for (const auto& [kind, waitMs] :
       {std::pair{StopKind::kClose, 0u}, std::pair{StopKind::kDisconnect, 5000u}}) {
    SCOPED_TRACE(waitMs);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    Start([&] {
      status.socket.Set(pair[0]);
      status.GiveUp(u"gave up", u"Error");  // answered at once
    });
    ASSERT_TRUE(status.WaitWorkerEnded(10000));
    EXPECT_TRUE(status.Snapshot().error);
    const auto before = clock.Elapsed();
    StopSession(status, link, clock, kind);
    EXPECT_EQ(clock.Elapsed() - before, waitMs);
    ExpectIdleAndClean();
    char byte;
    EXPECT_EQ(recv(pair[1], &byte, 1, 0), 0);
    close(pair[1]);
  }
}

// A front end that never stopped its session: the status's end wakes its worker (the wake is
// the stop's, which the Rover's stop tests try wherever a worker can be) and joins it.
TEST(SessionStatusTest, DestroyingTheStatusEndsAWorkerNeverStopped) {
  VirtualClock clock;
  std::atomic<bool> started{false}, returned{false};
  {
    SessionStatus status;
    status.running.store(1);
    status.StartWorker([&] {
      started.store(true);
      while (status.running.load() == 1) clock.Sleep(1000);
      returned.store(true);
    });
    while (!started.load()) std::this_thread::yield();
  }
  EXPECT_TRUE(returned.load());
}

TEST(AddToTotal, CountsPast32BitsAndStopsAtTheLargestCountRatherThanTurnNegative) {
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  const struct {
    std::int64_t total, bytes, expected;
  } cases[] = {
      {0, 1024, 1024},
      {INT32_MAX, 1, std::int64_t{1} << 31},               // where a 32-bit total turned negative
      {UINT32_MAX, 1024, (std::int64_t{1} << 32) + 1023},  // where it wrapped to a small count
      {kMost - 1, 1024, kMost},
      {kMost, 0, kMost},
  };
  for (const auto& c : cases) {
    std::int64_t total = c.total;
    AddToTotal(total, c.bytes);
    EXPECT_EQ(total, c.expected) << c.total << " + " << c.bytes;
  }
}

TEST(ConnectedSeconds, CountsFromTheStartAndNeverBelowZero) {
  constexpr std::time_t kStart = 1'700'000'000;
  EXPECT_EQ(ConnectedSeconds(kStart, kStart + 100 * 86400 + 1), 100 * 86400 + 1);
  EXPECT_EQ(ConnectedSeconds(kStart, kStart - 3600), 0);  // the clock was set back an hour
}

}  // namespace
}  // namespace quillon
