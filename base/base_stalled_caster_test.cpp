// A caster that takes the Base's login and then stops reading: after a while that is a failed
// upload; a stop ends it at once, and the front end sees the status meanwhile.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <string>

#include "base/base_session_fixture.h"
#include "common/strings.h"
#include "net/caster_connection.h"
#include "testing/pty_pair.h"

namespace quillon::testing {
namespace {

using namespace std::chrono_literals;

// Listens on 127.0.0.1 with a small receive buffer. Answer(), run by the worker while it waits
// for the reply, accepts its connection and says "OK\r\n"; nothing is ever read.
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

// The receiver talks without pause (the terminal is filled at every pass of the worker) while
// the caster has accepted the login and reads nothing.
class BaseStalledCaster : public BaseSessionFixture {
 protected:
  BaseStalledCaster() {
    settings.port = stalled.Port();
    SetFieldText(settings.comPortName, Wide(pty.DevicePath()));
    fcntl(pty.ReceiverFd(), F_SETFL, fcntl(pty.ReceiverFd(), F_GETFL) | O_NONBLOCK);
    clock.beforeSleep = [this](int) {
      stalled.Answer();
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
  const bool stopped = stop.wait_for(10s) == std::future_status::ready;
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
