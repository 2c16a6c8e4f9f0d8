// A caster that accepts the Base's login and then stops reading: the upload's send can make no
// progress. After a while that is a failed upload; a stop ends it at once, and the front end
// sees the status meanwhile.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "base/base_session_fixture.h"
#include "common/strings.h"
#include "net/caster_connection.h"
#include "testing/pty_pair.h"

namespace quillon::testing {
namespace {

using namespace std::chrono_literals;

// Accepts one connection on 127.0.0.1 with a small receive buffer, answers its SOURCE request
// with "OK\r\n", and reads nothing more.
class StalledCaster {
 public:
  StalledCaster() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    socklen_t size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    server_ = std::thread([this] { Serve(); });
  }
  ~StalledCaster() {
    Drop();
    shutdown(listener_, SHUT_RDWR);
    server_.join();
    close(listener_);
  }

  int Port() const { return port_; }
  bool LoggedIn() const { return loggedIn_.load(); }

  // Closes the accepted connection: a send blocked on it fails.
  void Drop() {
    const int fd = connection_.exchange(-1);
    if (fd >= 0) close(fd);
  }

 private:
  void Serve() {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    connection_.store(fd);
    std::string request;
    char buffer[256];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
      if (count <= 0) return;
      request.append(buffer, static_cast<std::size_t>(count));
    }
    send(fd, "OK\r\n", 4, MSG_NOSIGNAL);
    loggedIn_.store(true);
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<int> connection_{-1};
  std::atomic<bool> loggedIn_{false};
  std::thread server_;
};

// The receiver talks without pause while the caster has accepted the login and reads nothing.
class BaseStalledCaster : public BaseSessionFixture {
 protected:
  BaseStalledCaster() {
    settings.port = stalled.Port();
    SetFieldText(settings.comPortName, Wide(pty.DevicePath()));
    fcntl(pty.ReceiverFd(), F_SETFL, fcntl(pty.ReceiverFd(), F_GETFL) | O_NONBLOCK);
    feeder = std::thread([this] {
      const std::string block(4096, 'x');
      while (feeding.load()) {
        if (write(pty.ReceiverFd(), block.data(), block.size()) <= 0) {
          pollfd room{pty.ReceiverFd(), POLLOUT, 0};
          poll(&room, 1, 10);
        }
      }
    });
    // The upload's first wait for room after the login: the caster's window is full.
    clock.beforeWaitWritable = [this](int) {
      if (!stalled.LoggedIn() || stalledAt.load() != 0) return;
      stalledAt.store(clock.Elapsed());
      if (fastOnceStalled) clock.SetRealPollMs(kFastPollMs);
      std::lock_guard lock(mutex);
      changed.notify_all();
    };
  }
  ~BaseStalledCaster() override {
    EndSession();
    feeding.store(false);
    feeder.join();
  }

  bool Stalls() {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kRealLimit, [this] { return stalledAt.load() != 0; });
  }

  StalledCaster stalled;
  PtyPair pty;
  std::atomic<bool> feeding{true};
  std::thread feeder;
  std::atomic<std::uint64_t> stalledAt{0};
  bool fastOnceStalled = false;  // silent passes of virtual time run fast once stalled
  std::mutex mutex;
  std::condition_variable changed;
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
