// The Base worker's upload: fidelity and counters, the receiver watchdog, a caster that stalls.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <mutex>
#include <optional>
#include <string>

#include "base/base_session_fixture.h"
#include "common/baud.h"
#include "common/strings.h"
#include "net/caster_connection.h"
#include "ntrip/correction_stream.h"
#include "testing/pty_pair.h"

namespace quillon::testing {
namespace {

using BaseUpload = BaseSessionFixture;

// Two minutes at 11520 B/s; what the terminal cannot take at once is lost, as in a driver.
// The request goes out whole, multi-byte texts in UTF-8, and the token anywhere
// in the caster's first reply will do.
TEST_F(BaseUpload, SendsTheRequestWholeAndKeepsUpWithAReceiverAt115200Baud) {
  const std::string password =
      "p\xc3\xa4ssw\xc3\xb6rd\xc3\x9f\xc3\xa9\xc3\xa8\xc3\xaa\xc3\xab\xc3\xaf\xc3\xae";
  const std::string mountPoint = "M\xc3\x9cNCHEN\xc3\x84\xc3\x96";
  DemoCasterConfig config;
  config.mountPoint = mountPoint;
  config.sourcePassword = password;
  UseCaster(config);
  caster->Script(CasterBehaviour::kIcyServerStatus);
  SetFieldText(settings.password, u"p\u00e4ssw\u00f6rd\u00df\u00e9\u00e8\u00ea\u00eb\u00ef\u00ee");
  SetFieldText(settings.mountPoint, u"M\u00dcNCHEN\u00c4\u00d6");
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
  // Measured over windows of just over a second.
  EXPECT_NEAR(rate, static_cast<double>(kBytesPerSecond), kBytesPerSecond * 0.15);
  ASSERT_TRUE(caster->WaitForUploaded(written.size(), kRealLimit));
  EXPECT_TRUE(caster->Uploaded() == written) << "the uploaded bytes differ from the receiver's";
  EXPECT_EQ(status.Snapshot().total, static_cast<std::int64_t>(written.size()));
  EXPECT_EQ(caster->RequestText(0), "SOURCE " + password + " /" + mountPoint +
                                        "\r\nSource-Agent: NTRIP NtripServerZEP/0.9\r\n\r\n");
  EXPECT_EQ(caster->ConnectionCount(), 1u);
  EXPECT_EQ(status.StatusText(), u"");
  EXPECT_FALSE(status.Snapshot().error);
}

class BaseWatchdog : public BaseSessionFixture,
                     public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  BaseWatchdog() : BaseSessionFixture(GetParam()) {}
};

// Once, within one pass (a read wait and a pause); the reopened link carries on.
TEST_P(BaseWatchdog, ReopensASilentLinkOnceAfter25SecondsWhileTheCasterStaysConnected) {
  UseBluetooth();
  std::mutex mutex;
  std::promise<void> finished;
  // The login takes no virtual time: the last byte may come at 0.
  std::optional<std::uint64_t> lastByteAt;
  std::uint64_t reopenedAt = 0;
  std::size_t opens = 0, closes = 0;  // 30 s after the last byte
  bool casterConnected = false;
  const StopAtExit stop{*this};
  clock.beforeSleep = [&](int) {
    const std::uint64_t now = clock.Elapsed();
    std::lock_guard lock(mutex);
    if (opens != 0 || (!lastByteAt && status.Snapshot().total == 0)) return;
    if (!lastByteAt) {
      lastByteAt = now;
      clock.SetRealPollMs(kFastPollMs);
    }
    if (reopenedAt == 0 && bluetooth.CountCalls("Open") > 1) reopenedAt = now;
    if (now < *lastByteAt + 30000) return;
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
  EXPECT_GT(reopenedAt - *lastByteAt, 25000u);
  EXPECT_LE(reopenedAt - *lastByteAt, 25200u);
  bluetooth.SendToProgram({'y', 'z'});
  ASSERT_TRUE(caster->WaitForUploaded(3, kRealLimit));
  EXPECT_EQ(caster->Uploaded(), "xyz");
}

// The 32-bit tick count wraps to 0 during the silence in the second.
INSTANTIATE_TEST_SUITE_P(Ticks, BaseWatchdog, ::testing::Values(1000u, 0xFFFFFFFFu - 9000),
                         [](const auto& info) {
                           return info.param == 1000 ? "early" : "wrapping";
                         });

// A caster with a small window that answers the login (from the worker's wait for the reply)
// and never reads.
class StalledCaster {
 public:
  StalledCaster() {
    const int small = 4096;
    setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~StalledCaster() {
    Drop();
    close(listener_);
  }

  int Port() const { return port_; }
  bool LoggedIn() const { return connection_.load() >= 0; }
  void Answer() {
    const int fd = LoggedIn() ? -1 : accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0 && send(fd, "OK\r\n", 4, MSG_NOSIGNAL) == 4) connection_.store(fd);
  }
  // Closes the accepted connection: a send blocked on it fails.
  void Drop() {
    const int fd = connection_.exchange(-1);
    if (fd >= 0) close(fd);
  }

 private:
  const int listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  int port_ = 0;
  std::atomic<int> connection_{-1};
};

// The receiver's terminal is filled at every pass while the caster reads nothing.
class BaseStalledCaster : public BaseSessionFixture {
 protected:
  BaseStalledCaster() {
    settings.port = stalled.Port();
    SetFieldText(settings.comPortName, Wide(pty.DevicePath()));
    fcntl(pty.ReceiverFd(), F_SETFL, fcntl(pty.ReceiverFd(), F_GETFL) | O_NONBLOCK);
    clock.beforeWait = [this](int) { stalled.Answer(); };
    clock.beforeSleep = [this](int) {
      const std::string block(4096, 'x');
      while (write(pty.ReceiverFd(), block.data(), block.size()) > 0) {
      }
    };
    // The upload's first wait for room after the login: the caster's window is full.
    clock.beforeWaitWritable = [this](int) {
      if (!stalled.LoggedIn() || stalledAt.load() != 0) return;
      stalledAt.store(clock.Elapsed());
      if (fastOnceStalled) clock.SetRealPollMs(kFastPollMs);
      stall.set_value();
    };
  }

  bool Stalls() { return stall.get_future().wait_for(kRealLimit) == std::future_status::ready; }

  StalledCaster stalled;
  PtyPair pty;
  std::atomic<std::uint64_t> stalledAt{0};
  std::promise<void> stall;
  bool fastOnceStalled = false;  // silent passes of virtual time run fast once stalled
};

TEST_F(BaseStalledCaster, AnUploadTheCasterNoLongerTakesFailsAfterTwentySeconds) {
  fastOnceStalled = true;
  auto attempt = std::async(std::launch::async, [this] { return RunOnce(); });
  if (attempt.wait_for(kRealLimit) != std::future_status::ready) {
    ADD_FAILURE() << "the upload waits for the caster without end";
    stalled.Drop();  // lets the blocked send fail, so the test can end
  }
  EXPECT_EQ(attempt.get(), BaseSessionResult::kUploadFailed);
  ASSERT_NE(stalledAt.load(), 0u) << "the upload never stalled";
  EXPECT_GE(clock.Elapsed() - stalledAt.load(), kSendStallLimitMs);
  EXPECT_LE(clock.Elapsed() - stalledAt.load(), kSendStallLimitMs + 1000);
  EXPECT_EQ(status.StatusText(), LoadString(kStrSocketReadProblem));
  EXPECT_EQ(status.Detail(), u"The caster took no data for 20 seconds.");
  // Counted as they were read, also the bytes of the send that failed.
  EXPECT_GT(status.Snapshot().total, 0);
  EXPECT_FALSE(status.socket.IsOpen());
  EXPECT_TRUE(link.IsComPortOpen());  // kept for the next attempt
}

TEST_F(BaseStalledCaster, StopsAtOnceWhileTheCasterHasStoppedReading) {
  Start();
  ASSERT_TRUE(Stalls());
  // The front end reads the status (its status line) and stops the session, as on Ctrl+C.
  auto stop = std::async(std::launch::async, [&] {
    const SessionSnapshot snapshot = status.Snapshot();
    StopSession(status, link, clock, StopKind::kDisconnect);
    return snapshot;
  });
  const bool stopped = stop.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(stopped) << "the status or the stop waited for a send the caster never takes";
  if (!stopped) stalled.Drop();  // lets the blocked send fail, so the test can end
  EXPECT_GT(stop.get().total, 0);
  EXPECT_FALSE(status.HasWorker());
  EXPECT_FALSE(status.socket.IsOpen());
  EXPECT_FALSE(link.IsComPortOpen());
  EXPECT_EQ(status.StatusText(), u"");
}

}  // namespace
}  // namespace quillon::testing
