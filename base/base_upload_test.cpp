// The Base worker's upload: every byte the receiver sends reaches the caster in order, the
// counters follow, and a silent receiver gets its link opened again while the caster
// connection stays up.
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include "base/base_session_fixture.h"
#include "common/baud.h"
#include "ntrip/correction_stream.h"
#include "testing/pty_pair.h"

namespace quillon::testing {
namespace {

using BaseUpload = BaseSessionFixture;

TEST_F(BaseUpload, KeepsUpWithAReceiverAt115200Baud) {
  // The receiver puts out 11520 B/s of clock time for two minutes. What does not fit into the
  // terminal's buffers at once is lost, as a serial driver's overflow loses it.
  PtyPair pty;
  SetFieldText(settings.comPortName, Wide(pty.DevicePath()));
  settings.baudIndex = BaudIndexForRate(115200);
  constexpr std::uint64_t kBytesPerSecond = 11520;
  constexpr std::uint64_t kRunMs = 120000;
  CorrectionStream stream;
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  std::optional<std::uint64_t> startedAt;
  std::uint64_t produced = 0;
  std::string written;
  std::size_t lost = 0;
  std::int32_t rate = 0;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    std::lock_guard lock(mutex);
    if (done) return;
    if (!startedAt) {
      if (!LoggedIn()) return;
      startedAt = now;
      clock.SetRealPollMs(kFastPollMs);
    }
    const std::uint64_t due = std::min(now - *startedAt, kRunMs) * kBytesPerSecond / 1000;
    const std::string bytes = stream.Next(due - produced);
    produced = due;
    const ssize_t taken = write(pty.ReceiverFd(), bytes.data(), bytes.size());
    const std::size_t kept = taken > 0 ? static_cast<std::size_t>(taken) : 0;
    written.append(bytes, 0, kept);
    lost += bytes.size() - kept;
    if (now - *startedAt >= kRunMs) {
      rate = status.Snapshot().rate;
      done = true;
      changed.notify_all();
    }
  };
  Start();
  std::unique_lock lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, kRealLimit, [&] { return done; }));
  EXPECT_EQ(lost, 0u);
  EXPECT_EQ(produced, kRunMs * kBytesPerSecond / 1000);
  // Measured over windows of just over a second.
  EXPECT_NEAR(rate, static_cast<double>(kBytesPerSecond), kBytesPerSecond * 0.15);
  ASSERT_TRUE(caster->WaitForUploaded(written.size(), kRealLimit));
  EXPECT_TRUE(caster->Uploaded() == written) << "the uploaded bytes differ from the receiver's";
  EXPECT_EQ(status.Snapshot().total, static_cast<std::int32_t>(written.size()));
  EXPECT_EQ(status.StatusText(), u"");
}

struct WatchdogCase {
  const char* name;
  std::uint32_t startTick;
};

class BaseWatchdog : public BaseSessionFixture, public ::testing::WithParamInterface<WatchdogCase> {
 protected:
  BaseWatchdog() : BaseSessionFixture(GetParam().startTick) {}
};

TEST_P(BaseWatchdog, ReopensASilentLinkOnceAfter25SecondsWhileTheCasterStaysConnected) {
  UseBluetooth();
  // Virtual times of the last byte received and of the reopen; the counts seen 30 s after the
  // last byte. Written by the worker in its sleeps, read once `done` is set.
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  std::uint64_t lastByteAt = 0;
  std::uint64_t reopenedAt = 0;
  std::size_t opensAt30s = 0;
  std::size_t closesAt30s = 0;
  bool casterConnectedAt30s = false;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    std::lock_guard lock(mutex);
    if (done) return;
    if (lastByteAt == 0) {
      if (status.Snapshot().total == 0) return;
      lastByteAt = now;
      clock.SetRealPollMs(kFastPollMs);
    }
    if (reopenedAt == 0 && bluetooth.CountCalls("Open") > 1) reopenedAt = now;
    if (now >= lastByteAt + 30000) {
      opensAt30s = bluetooth.CountCalls("Open");
      closesAt30s = bluetooth.CountCalls("Close");
      const auto connections = caster->Connections();
      casterConnectedAt30s = connections.size() == 1 && connections[0].open;
      done = true;
      changed.notify_all();
    }
  };
  bluetooth.SendToProgram({'x'});
  Start();
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, kRealLimit, [&] { return done; }));
  }
  EXPECT_EQ(opensAt30s, 2u);
  EXPECT_EQ(closesAt30s, 1u);
  EXPECT_TRUE(casterConnectedAt30s);
  // Within one pass (a read wait and a pause) after 25 s of silence.
  EXPECT_GT(reopenedAt - lastByteAt, 25000u);
  EXPECT_LE(reopenedAt - lastByteAt, 25200u);

  // The reopened link carries on.
  bluetooth.SendToProgram({'y', 'z'});
  ASSERT_TRUE(caster->WaitForUploaded(3, kRealLimit));
  EXPECT_EQ(caster->Uploaded(), "xyz");
}

INSTANTIATE_TEST_SUITE_P(Ticks, BaseWatchdog,
                         ::testing::Values(WatchdogCase{"early", 1000},
                                           // The 32-bit tick count wraps to 0 during the silence.
                                           WatchdogCase{"wrapping", 0xFFFFFFFFu - 9000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillon::testing
