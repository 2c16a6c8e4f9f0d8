// The Base worker's attempts: the countdown between them, the final message after the last,
// and a stop in every phase that leaves no thread, no lock held and no socket open.
#include <cerrno>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/base_session_fixture.h"
#include "common/strings.h"

namespace quillon::testing {
namespace {

std::u16string RetryLine(int attempt, int seconds, std::u16string_view reason) {
  const std::string head = "Retry attempt " + std::to_string(attempt) + "/15 in " +
                           std::to_string(seconds) + " seconds.\r\n";
  return Wide(head) + std::u16string(reason);
}

std::u16string FinalMessage(std::string_view elapsed, std::u16string_view reason) {
  return u"Could not re-connect to NTRIP Caster.\r\n\r\nElapsed Time: " + Wide(elapsed) +
         u"\r\nReason: " + std::u16string(reason);
}

// Whether another thread can take the status lock now.
bool LockIsFree(SessionLock& lock) {
  bool free = false;
  std::thread([&] {
    if (lock.try_lock()) {
      free = true;
      lock.unlock();
    }
  }).join();
  return free;
}

class BaseRetries : public BaseSessionFixture {
 protected:
  // Records each countdown text the worker leaves before a sleep, once per change, and whether
  // the serial link was open at every countdown step.
  void RecordRetryLines() {
    clock.beforeSleep = [this](int) {
      const std::u16string text = status.StatusText();
      if (!text.starts_with(u"Retry")) return;
      std::lock_guard lock(mutex_);
      if (!link.IsComPortOpen()) linkClosedInCountdown_ = true;
      if (retryLines_.empty() || retryLines_.back() != text) retryLines_.push_back(text);
    };
  }
  std::vector<std::u16string> RetryLines() {
    std::lock_guard lock(mutex_);
    return retryLines_;
  }
  bool LinkClosedInCountdown() {
    std::lock_guard lock(mutex_);
    return linkClosedInCountdown_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::u16string> retryLines_;
  bool linkClosedInCountdown_ = false;
};

struct GiveUpCase {
  const char* name;
  bool bluetooth;
  const char16_t* address;
  const char16_t* password;
  std::size_t casterConnections;
  std::uint32_t reasonId;  // 0: no reason
};

class BaseGivesUp : public BaseRetries, public ::testing::WithParamInterface<GiveUpCase> {};

TEST_P(BaseGivesUp, AfterFifteenAttemptsWithACountdownBetweenThem) {
  const GiveUpCase& c = GetParam();
  if (c.bluetooth) UseBluetooth();
  SetFieldText(settings.address, c.address);
  SetFieldText(settings.password, c.password);
  const std::u16string reason = c.reasonId != 0 ? LoadString(c.reasonId) : u"";
  RecordRetryLines();
  Start();
  ASSERT_TRUE(sink.WaitForBoxes(1, 30000));
  ASSERT_TRUE(WorkerEnds());

  EXPECT_EQ(caster->ConnectionCount(), c.casterConnections);
  // Seconds 60 to 1 before each retry; none after the fifteenth attempt.
  std::vector<std::u16string> expected;
  for (int attempt = 1; attempt < kBaseAttempts; ++attempt) {
    for (int seconds = 60; seconds >= 1; --seconds) {
      expected.push_back(RetryLine(attempt, seconds, reason));
    }
  }
  const std::vector<std::u16string> lines = RetryLines();
  EXPECT_EQ(lines.size(), expected.size());
  EXPECT_TRUE(lines == expected);

  const auto boxes = sink.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  // No attempt was accepted since the reset.
  EXPECT_EQ(boxes[0].text, FinalMessage("00:00:00", reason));
  EXPECT_EQ(boxes[0].caption, u"Error");
  EXPECT_EQ(boxes[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::kOk);

  const SessionSnapshot after = status.Snapshot();
  EXPECT_FALSE(after.running);
  EXPECT_TRUE(after.error);
  EXPECT_FALSE(status.socket.IsOpen());
  if (c.bluetooth) {
    // Opened again at every attempt, never closed in between.
    EXPECT_EQ(bluetooth.CountCalls("Open"), 15u);
    EXPECT_EQ(bluetooth.CountCalls("Close"), 0u);
  } else {
    // Kept open across the attempts, closed at the end.
    EXPECT_FALSE(LinkClosedInCountdown());
    EXPECT_FALSE(link.IsComPortOpen());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, BaseGivesUp,
    ::testing::Values(GiveUpCase{"WrongPasswordOnSerialLink", false, u"127.0.0.1", u"wrong", 15,
                                 kStrCredentialsRejected},
                      GiveUpCase{"WrongPasswordOnBluetoothLink", true, u"127.0.0.1", u"wrong", 15,
                                 kStrCredentialsRejected},
                      GiveUpCase{"InvalidDottedAddress", false, u"192.168.1.300", u"demo", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BaseRetries, FinalMessageShowsTheElapsedTimeOfTheLastAcceptedSession) {
  // Accepted once; 65 s in the caster goes away, and the upload with it.
  std::optional<std::uint64_t> loggedInAt;
  bool emitted = false;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    // Only the worker sleeps until the final box.
    const std::uint64_t now = clock.Elapsed();
    if (!loggedInAt) {
      if (!LoggedIn()) return;
      loggedInAt = now;
      clock.SetRealPollMs(kFastPollMs);
    }
    if (!emitted && now >= *loggedInAt + 65500) {
      caster->Stop();
      receiver.Emit(std::string(64 * 1024, 'e'));
      emitted = true;
    }
  };
  Start();
  ASSERT_TRUE(sink.WaitForBoxes(1, 30000));
  ASSERT_TRUE(WorkerEnds());
  EXPECT_EQ(caster->ConnectionCount(), 1u);
  const std::u16string text = sink.Boxes().at(0).text;
  const std::u16string reason = ConnectionErrorText(ECONNREFUSED);
  EXPECT_TRUE(text == FinalMessage("00:01:05", reason) || text == FinalMessage("00:01:06", reason))
      << std::string(text.begin(), text.end());
}

TEST_F(BaseRetries, DisconnectDuringACountdownEndsTheWorkerWithin100Ms) {
  SetFieldText(settings.password, u"wrong");
  const std::u16string stopAt = RetryLine(2, 37, LoadString(kStrCredentialsRejected));
  std::mutex mutex;
  std::condition_variable changed;
  bool reached = false;
  bool released = false;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    if (status.StatusText() != stopAt) return;
    std::unique_lock lock(mutex);
    if (reached) return;
    reached = true;
    changed.notify_all();
    changed.wait(lock, [&] { return released; });
  };
  Start();
  std::uint64_t clearedAt = 0;
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, kRealLimit, [&] { return reached; }));
    status.running.store(0);
    clearedAt = clock.Elapsed();
    released = true;
    changed.notify_all();
  }
  ASSERT_TRUE(WorkerEnds());
  EXPECT_LE(clock.Elapsed() - clearedAt, 100u);
  EXPECT_EQ(caster->ConnectionCount(), 2u);
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_FALSE(link.IsComPortOpen());
}

// The stop sequence, run while the worker is in one phase, leaves nothing behind.
void ExpectStoppedCleanly(BaseStatus& status, ComLink& link) {
  EXPECT_FALSE(status.HasWorker());
  EXPECT_TRUE(LockIsFree(status.lock));
  EXPECT_FALSE(status.socket.IsOpen());
  EXPECT_FALSE(link.IsComPortOpen());
  const SessionSnapshot after = status.Snapshot();
  EXPECT_FALSE(after.running);
  EXPECT_FALSE(after.error);
  EXPECT_EQ(status.StatusText(), u"");
}

TEST_F(BaseRetries, StopDuringConnectToACasterThatNeverAccepts) {
  caster->StopAccepting();
  Start();
  // The socket exists just before the connect that hangs.
  for (int i = 0; i < 2000 && !status.socket.IsOpen(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(status.socket.IsOpen());
  StopSession(status, link, clock);
  ExpectStoppedCleanly(status, link);
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_F(BaseRetries, StopWhileWaitingForTheReplyOfASilentCaster) {
  caster->Script(CasterBehaviour::kSilent);
  Start();
  ASSERT_TRUE(caster->WaitForConnections(1, kRealLimit));
  for (int i = 0; i < 2000 && caster->RequestText(0).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(caster->RequestText(0).empty());
  StopSession(status, link, clock);
  ExpectStoppedCleanly(status, link);
  EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
  EXPECT_EQ(caster->ConnectionCount(), 1u);
}

// The watchdog opens the silent receiver's Bluetooth link again just as the stop closes it: the
// new connect begins after that close, and only a later close can end it.
TEST_F(BaseRetries, StopWhileTheWatchdogReopensTheBluetoothLink) {
  UseBluetooth();
  std::promise<void> reopening;
  int opens = 0;  // Open runs on the worker only
  bluetooth.BeforeOpen([&] {
    if (++opens < 2) return;
    bluetooth.SetOpensHang(true);
    reopening.set_value();
    bluetooth.WaitForCalls("Close", 2);  // the watchdog's close, then the stop's
  });
  clock.beforeSleep = [this](int) {
    if (LoggedIn()) clock.SetRealPollMs(kFastPollMs);  // silent passes run fast
  };
  Start();
  ASSERT_EQ(reopening.get_future().wait_for(kRealLimit), std::future_status::ready);
  auto stop = std::async(std::launch::async, [&] { StopSession(status, link, clock); });
  const bool stopped = stop.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(stopped) << "the stop waits for a connect that began after its close";
  if (!stopped) bluetooth.Close();  // lets the test end
  stop.get();
  ExpectStoppedCleanly(status, link);
  bluetooth.BeforeOpen({});
}

TEST_F(BaseRetries, StopWhileTheFinalMessageIsOpen) {
  SetFieldText(settings.address, u"192.168.1.300");
  sink.HoldBoxesOpen(true);
  Start();
  ASSERT_TRUE(sink.WaitForBoxes(1, 30000));
  StopSession(status, link, clock);
  ExpectStoppedCleanly(status, link);
  EXPECT_EQ(sink.Boxes().size(), 1u);
}

}  // namespace
}  // namespace quillon::testing
