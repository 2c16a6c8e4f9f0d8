// The Base worker's attempts: the countdown between them and the final message after the last.
#include <cerrno>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/base_session_fixture.h"
#include "common/strings.h"
#include "platform/system_error.h"
#include "platform/wait_step.h"

namespace quillon::testing {
namespace {

std::u16string RetryLine(int attempt, int seconds, std::u16string_view reason) {
  return Wide("Retry attempt " + std::to_string(attempt) + "/15 in " + std::to_string(seconds) +
              " seconds.\r\n") +
         std::u16string(reason);
}

std::u16string FinalMessage(std::string_view elapsed, std::u16string_view reason) {
  return u"Could not re-connect to NTRIP Caster.\r\n\r\nElapsed Time: " + Wide(elapsed) +
         u"\r\nReason: " + std::u16string(reason);
}

using BaseRetries = BaseSessionFixture;

struct GiveUpCase {
  const char* name;
  bool bluetooth;
  const char16_t* address;
  std::size_t casterConnections;
  std::uint32_t reasonId;  // 0: no reason
};

class BaseGivesUp : public BaseSessionFixture, public ::testing::WithParamInterface<GiveUpCase> {};

TEST_P(BaseGivesUp, AfterFifteenAttemptsWithACountdownBetweenThem) {
  const GiveUpCase& c = GetParam();
  if (c.bluetooth) UseBluetooth();
  SetFieldText(settings.address, c.address);
  SetFieldText(settings.password, u"wrong");
  const std::u16string reason = c.reasonId != 0 ? LoadString(c.reasonId) : u"";
  // Each countdown text once per change, and whether the serial link was open at every step.
  std::mutex mutex;
  std::vector<std::u16string> lines;
  bool linkClosedInCountdown = false;
  clock.beforeSleep = [&](int) {
    const std::u16string text = status.StatusText();
    if (!text.starts_with(u"Retry")) return;
    std::lock_guard lock(mutex);
    linkClosedInCountdown |= !link.IsComPortOpen();
    if (lines.empty() || lines.back() != text) lines.push_back(text);
  };
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
  EXPECT_EQ(lines.size(), expected.size());
  EXPECT_TRUE(lines == expected);
  // No attempt was accepted since the reset.
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, FinalMessage("00:00:00", reason));
  EXPECT_TRUE(status.Snapshot().error);
  EXPECT_FALSE(status.socket.IsOpen());
  if (c.bluetooth) {
    EXPECT_EQ(bluetooth.CountCalls("Open"), 15u);
    EXPECT_EQ(bluetooth.CountCalls("Close"), 0u);
  } else {
    EXPECT_FALSE(linkClosedInCountdown);
    EXPECT_FALSE(link.IsComPortOpen());
  }
}

const GiveUpCase kGiveUps[] = {
    {"WrongPasswordOnSerialLink", false, u"127.0.0.1", 15, kStrCredentialsRejected},
    {"WrongPasswordOnBluetoothLink", true, u"127.0.0.1", 15, kStrCredentialsRejected},
    {"InvalidDottedAddress", false, u"192.168.1.300", 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Attempts, BaseGivesUp, ::testing::ValuesIn(kGiveUps),
                         [](const auto& info) { return std::string(info.param.name); });

// Accepted once; 65 s in the caster goes away, and the upload with it.
TEST_F(BaseRetries, FinalMessageShowsTheElapsedTimeOfTheLastAcceptedSession) {
  std::optional<std::uint64_t> loggedInAt;
  bool emitted = false;
  const StopAtExit stop{*this};
  // Every upload pass and countdown step; only the worker waits and sleeps until the final box.
  clock.beforeWaitAny = clock.beforeSleep = [&](int) {
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
  const std::u16string reason = ConnectionErrorText(SystemErrorText(ECONNREFUSED));
  EXPECT_TRUE(text == FinalMessage("00:01:05", reason) || text == FinalMessage("00:01:06", reason))
      << std::string(text.begin(), text.end());
}

// What comes after the login goes in the pass that sees it, not after a wait runs out.
TEST_F(BaseRetries, WhatTheReceiverWroteDuringTheCountdownIsDropped) {
  DemoCasterConfig config;
  config.cannedReply = "ERROR - Bad Password\r\n";
  UseCaster(config);
  caster->Script(CasterBehaviour::kCannedReply);
  bool stale = false;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {  // the countdown's steps, on the worker
    if (!stale) receiver.Emit("stale");
    stale = stale || receiver.WaitForEmitted(5, kRealLimit);
  };
  Start();
  const auto deadline = std::chrono::steady_clock::now() + kRealLimit;
  while (!LoggedIn()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::yield();
  }
  clock.SetRealPollMs(1000);  // the receiver's thread has time to write, even under load
  const std::uint64_t before = clock.Elapsed();
  receiver.Emit("live");
  ASSERT_TRUE(caster->WaitForUploaded(4, kRealLimit));
  EXPECT_EQ(caster->Uploaded(), "live");
  EXPECT_LT(clock.Elapsed() - before, kWaitStepMs);
  EXPECT_TRUE(stale);
}

// The worker is held at one step of the countdown until running has been cleared.
TEST_F(BaseRetries, DisconnectDuringACountdownEndsTheWorkerWithin100Ms) {
  SetFieldText(settings.password, u"wrong");
  const std::u16string stopAt = RetryLine(2, 37, LoadString(kStrCredentialsRejected));
  std::promise<void> reached, released;
  std::shared_future<void> go = released.get_future().share();
  std::once_flag once;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    if (status.StatusText() != stopAt) return;
    std::call_once(once, [&] {
      reached.set_value();
      go.wait();
    });
  };
  Start();
  ASSERT_EQ(reached.get_future().wait_for(kRealLimit), std::future_status::ready);
  status.running.store(0);
  const std::uint64_t clearedAt = clock.Elapsed();
  released.set_value();
  ASSERT_TRUE(WorkerEnds());
  EXPECT_LE(clock.Elapsed() - clearedAt, 100u);
  EXPECT_EQ(caster->ConnectionCount(), 2u);
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_FALSE(link.IsComPortOpen());
}

// The watchdog's new connect begins after the stop's close: only a later close can end it.
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
  // Nothing is left: no worker, no lock held, no socket or link open, and no text.
  EXPECT_FALSE(status.HasWorker());
  bool lockFree = false;
  std::thread([&] {
    if ((lockFree = status.lock.try_lock())) status.lock.unlock();
  }).join();
  EXPECT_TRUE(lockFree);
  EXPECT_FALSE(status.socket.IsOpen() || link.IsComPortOpen());
  EXPECT_FALSE(status.Snapshot().running || status.Snapshot().error);
  EXPECT_EQ(status.StatusText(), u"");
}

}  // namespace
}  // namespace quillon::testing
