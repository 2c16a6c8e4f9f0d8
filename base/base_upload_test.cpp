// The Base worker's upload: fidelity and counters, the receiver watchdog, a caster that stalls.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/base_session_fixture.h"
#include "common/baud.h"
#include "common/strings.h"
#include "demo/correction_stream.h"
#include "platform/wait_step.h"
#include "testing/manual_caster.h"
#include "testing/pty_pair.h"
#include "testing/stop_guard.h"

namespace quillon::testing {
namespace {

using BaseUpload = BaseSessionFixture;

// Twenty seconds at 11520 B/s; what the terminal cannot take at once (20 kB) is lost, as in a
// driver. The token anywhere in the caster's first reply will do.
TEST_F(BaseUpload, KeepsUpWithAReceiverAt115200Baud) {
  caster->Script(CasterBehaviour::kIcyServerStatus);
  PtyPair pty;
  SetFieldText(settings.comPortName, FromUtf8(pty.DevicePath()));
  settings.baudIndex = BaudIndexForRate(115200);
  constexpr std::uint64_t kBytesPerSecond = 11520, kRunMs = 20000;
  CorrectionStream stream;
  std::promise<void> finished;
  std::optional<std::uint64_t> startedAt;
  std::uint64_t produced = 0;
  std::string written;
  std::size_t lost = 0;
  std::int32_t rate = -1;
  const StopAtExit stop{*this};
  clock.beforeWaitAny = [&](int) {
    const std::uint64_t now = clock.Elapsed();  // the worker's waits only
    if (rate >= 0 || !(startedAt || LoggedIn())) return;
    if (!startedAt) {
      startedAt = now;
      // Silent passes run ten times faster than real time: the terminal hands on what it was
      // given in time, even when the system is busy.
      clock.SetRealPollMs(10);
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
  // Measured over windows of just over a second.
  EXPECT_NEAR(rate, static_cast<double>(kBytesPerSecond), kBytesPerSecond * 0.15);
  ASSERT_TRUE(caster->WaitForUploaded(written.size(), kRealLimit));
  EXPECT_TRUE(caster->Uploaded() == written) << "the uploaded bytes differ from the receiver's";
  EXPECT_EQ(TotalReaching(written.size()), static_cast<std::int64_t>(written.size()));
  EXPECT_EQ(caster->RequestText(0),
            "SOURCE demo /DEMO\r\nSource-Agent: NTRIP NtripServerZEP/0.9\r\n\r\n");
  EXPECT_EQ(caster->ConnectionCount(), 1u);
}

class BaseReceiverTrouble : public BaseSessionFixture,
                            public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  BaseReceiverTrouble() : BaseSessionFixture(GetParam()) {}
};

// A silent receiver's link is opened again once, 25 s after its last byte (within a pass); one
// reported gone is shown lost and opened again every 5 s until it answers. The caster stays
// connected throughout, the upload goes on, and what the bytes are not is said.
TEST_P(BaseReceiverTrouble, ASilentLinkIsReopenedOnceALostOneEveryFiveSeconds) {
  UseBluetooth();
  std::promise<void> finished;
  // The login takes no virtual time: the last byte may come at 0.
  std::optional<std::uint64_t> lastByteAt;
  std::uint64_t reopenedAt = 0;
  std::size_t opens = 0, closes = 0;  // 30 s after the last byte
  bool casterConnected = false;
  std::vector<std::string> warnings;    // the bytes hold no RTCM 3
  std::vector<std::uint64_t> openedAt;  // when each open began
  const StopAtExit stop{*this};
  // Both hooks run on the worker; what they note is read once it has been told or has ended.
  bluetooth.BeforeOpen([&] { openedAt.push_back(clock.Elapsed()); });
  clock.beforeWaitAny = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    if (opens != 0 || (!lastByteAt && status.Snapshot().total == 0)) return;
    if (!lastByteAt) {
      lastByteAt = now;
      clock.SetRealPollMs(kFastPollMs);
    }
    if (reopenedAt == 0 && openedAt.size() > 1) reopenedAt = now;
    if (now < *lastByteAt + 30000) return;
    opens = openedAt.size();
    closes = bluetooth.CountCalls("Close");
    const auto connections = caster->Connections();
    casterConnected = connections.size() == 1 && connections[0].open;
    warnings = status.Snapshot().streamWarnings;
    clock.SetRealPollMs(kAnswerPollMs);  // no more silent seconds than the test asks for
    finished.set_value();
  };
  bluetooth.SendToProgram({'x'});
  Start();
  ASSERT_EQ(finished.get_future().wait_for(kRealLimit), std::future_status::ready);
  EXPECT_EQ(opens, 2u);
  EXPECT_EQ(closes, 1u);
  EXPECT_TRUE(casterConnected);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("no RTCM 3 frame"), std::string::npos) << warnings[0];
  // The receiver's reader notes the byte as it reads it; the pass that counts it, which the
  // test sees, may come a step later.
  EXPECT_GT(reopenedAt - *lastByteAt, 25000u - kWaitStepMs);
  EXPECT_LE(reopenedAt - *lastByteAt, 25200u);
  bluetooth.SendToProgram({'y', 'z'});
  ASSERT_TRUE(caster->WaitForUploaded(3, kRealLimit));

  bluetooth.SetOpenSucceeds(false, "Host is down");
  bluetooth.Disappear();
  clock.SetRealPollMs(kFastPollMs);
  ASSERT_TRUE(bluetooth.WaitForCalls("Open", opens + 3));
  const auto shown = [this] {
    std::lock_guard guard(status.lock);
    return status.receiverLost && status.connected;
  };
  EXPECT_TRUE(shown());
  bluetooth.SetOpenSucceeds(true);
  bluetooth.SendToProgram({'b', 'a', 'c', 'k'});
  ASSERT_TRUE(caster->WaitForUploaded(7, kRealLimit));
  EXPECT_FALSE(shown());
  EndSession();
  bluetooth.BeforeOpen({});
  EXPECT_EQ(caster->Uploaded(), "xyzback");
  EXPECT_EQ(caster->ConnectionCount(), 1u);
  EXPECT_TRUE(sink.Boxes().empty());
  for (std::size_t i = opens + 1; i < openedAt.size(); ++i) {
    EXPECT_GE(openedAt[i] - openedAt[i - 1], kReceiverReopenMs) << i;
    EXPECT_LE(openedAt[i] - openedAt[i - 1], kReceiverReopenMs + 100) << i;
  }
}

// The 32-bit tick count wraps to 0 during the silence in the second.
INSTANTIATE_TEST_SUITE_P(Ticks, BaseReceiverTrouble, ::testing::Values(1000u, 0xFFFFFFFFu - 9000),
                         [](const auto& info) {
                           return info.param == 1000 ? "early" : "wrapping";
                         });

// A caster that stops reading once logged in, and one burst from the receiver: more than the
// caster's small window takes and far less than this side's kernel accepts. Every send succeeds,
// yet the caster acknowledges nothing more (how long that may last is the uplink's test).
class BaseStalledCaster : public BaseSessionFixture {
 protected:
  static constexpr std::int64_t kBurst = 32 * 1024;

  BaseStalledCaster() {
    settings.port = stalled.Port();
    clock.beforeWait = [this](int) { stalled.Answer(); };
  }
  // Once the burst has been read whole, silent passes run fast.
  void Burst() {
    ASSERT_TRUE(Eventually([this] { return LoggedIn(); }));
    receiver.Emit(std::string(kBurst, 'x'));
    ASSERT_EQ(TotalReaching(kBurst), kBurst) << "the burst was never read";
    clock.SetRealPollMs(kFastPollMs);
  }

  ManualCaster stalled{"OK\r\n"};
};

TEST_F(BaseStalledCaster, ACasterThatAcknowledgesNothingFailsTheUpload) {
  auto attempt = std::async(std::launch::async, [this] { return RunOnce(); });
  const StopAtExit stop{*this};
  Burst();
  ASSERT_EQ(attempt.wait_for(kRealLimit), std::future_status::ready);
  EXPECT_EQ(attempt.get(), BaseSessionResult::kUploadFailed);
  EXPECT_EQ(status.StatusText(), LoadString(kStrSocketReadProblem));
  EXPECT_EQ(status.Detail(), u"The caster took no data for 20 seconds.");
  EXPECT_EQ(status.Snapshot().total, kBurst);
  EXPECT_FALSE(status.socket.IsOpen());
  EXPECT_TRUE(link.IsComPortOpen());  // kept for the next attempt
}

// The worker's wait blocks as in the system, so that only the stop's wake-up ends it in time.
TEST_F(BaseStalledCaster, StopsAtOnceWhileTheCasterHasStoppedReading) {
  auto allSent = std::make_shared<std::atomic<bool>>(false);  // outlives an early return
  auto blocked = BlockWaitWhen(clock, clock.beforeWaitAny, [allSent] { return allSent->load(); });
  Start();
  Burst();
  allSent->store(true);
  ASSERT_EQ(blocked.wait_for(kRealLimit), std::future_status::ready);
  SessionSnapshot last;
  EXPECT_TRUE(StopsInTime([&] { last = StopSession(status, link, clock); }, status.socket));
  EXPECT_EQ(last.total, kBurst);
  EXPECT_FALSE(status.HasWorker() || status.socket.IsOpen() || link.IsComPortOpen());
  EXPECT_EQ(status.StatusText(), u"");
}

}  // namespace
}  // namespace quillon::testing
