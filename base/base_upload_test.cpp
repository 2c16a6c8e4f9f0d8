// The Base worker's upload: every byte the receiver sends reaches the caster in order, the
// counters follow, and a silent receiver gets its link opened again while the caster stays.
#include <unistd.h>

#include <future>
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

// Two minutes of 11520 B/s of clock time from the receiver. What does not fit into the
// terminal's buffers at once is lost, as a serial driver's overflow loses it.
TEST_F(BaseUpload, KeepsUpWithAReceiverAt115200Baud) {
  PtyPair pty;
  SetFieldText(settings.comPortName, Wide(pty.DevicePath()));
  settings.baudIndex = BaudIndexForRate(115200);
  constexpr std::uint64_t kBytesPerSecond = 11520, kRunMs = 120000;
  CorrectionStream stream;
  std::mutex mutex;  // the stop's sleeps run the hook on the test's thread too
  std::promise<void> finished;
  std::optional<std::uint64_t> startedAt;
  std::uint64_t produced = 0;
  std::string written;
  std::size_t lost = 0;
  std::int32_t rate = -1;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    std::lock_guard lock(mutex);
    if (rate >= 0 || !(startedAt || LoggedIn())) return;
    if (!startedAt) {
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
    if (now - *startedAt < kRunMs) return;
    rate = status.Snapshot().rate;
    finished.set_value();
  };
  Start();
  ASSERT_EQ(finished.get_future().wait_for(kRealLimit), std::future_status::ready);
  EXPECT_EQ(lost, 0u);
  EXPECT_EQ(produced, kRunMs * kBytesPerSecond / 1000);
  // Measured over windows of just over a second.
  EXPECT_NEAR(rate, static_cast<double>(kBytesPerSecond), kBytesPerSecond * 0.15);
  ASSERT_TRUE(caster->WaitForUploaded(written.size(), kRealLimit));
  EXPECT_TRUE(caster->Uploaded() == written) << "the uploaded bytes differ from the receiver's";
  EXPECT_EQ(status.Snapshot().total, static_cast<std::int32_t>(written.size()));
  EXPECT_EQ(status.StatusText(), u"");
}

class BaseWatchdog : public BaseSessionFixture,
                     public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  BaseWatchdog() : BaseSessionFixture(GetParam()) {}
};

// Once, within one pass (a read wait and a pause) after 25 s of silence; the reopened link
// carries on.
TEST_P(BaseWatchdog, ReopensASilentLinkOnceAfter25SecondsWhileTheCasterStaysConnected) {
  UseBluetooth();
  std::mutex mutex;
  std::promise<void> finished;
  std::uint64_t lastByteAt = 0, reopenedAt = 0;
  std::size_t opens = 0, closes = 0;  // 30 s after the last byte
  bool casterConnected = false;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    std::lock_guard lock(mutex);
    if (opens != 0 || (lastByteAt == 0 && status.Snapshot().total == 0)) return;
    if (lastByteAt == 0) {
      lastByteAt = now;
      clock.SetRealPollMs(kFastPollMs);
    }
    if (reopenedAt == 0 && bluetooth.CountCalls("Open") > 1) reopenedAt = now;
    if (now < lastByteAt + 30000) return;
    opens = bluetooth.CountCalls("Open");
    closes = bluetooth.CountCalls("Close");
    const auto connections = caster->Connections();
    casterConnected = connections.size() == 1 && connections[0].open;
    finished.set_value();
  };
  bluetooth.SendToProgram({'x'});
  Start();
  ASSERT_EQ(finished.get_future().wait_for(kRealLimit), std::future_status::ready);
  EXPECT_EQ(opens, 2u);
  EXPECT_EQ(closes, 1u);
  EXPECT_TRUE(casterConnected);
  EXPECT_GT(reopenedAt - lastByteAt, 25000u);
  EXPECT_LE(reopenedAt - lastByteAt, 25200u);
  bluetooth.SendToProgram({'y', 'z'});
  ASSERT_TRUE(caster->WaitForUploaded(3, kRealLimit));
  EXPECT_EQ(caster->Uploaded(), "xyz");
}

// The 32-bit tick count wraps to 0 during the silence in the second.
INSTANTIATE_TEST_SUITE_P(Ticks, BaseWatchdog, ::testing::Values(1000u, 0xFFFFFFFFu - 9000),
                         [](const auto& info) {
                           return info.param == 1000 ? "early" : "wrapping";
                         });

}  // namespace
}  // namespace quillon::testing
