// A caster that accepts the Base's login and then stops reading: the upload's send blocks with
// no time limit. The front end must still see the status and stop the session.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "base/base_session_fixture.h"
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

using BaseStalledCaster = BaseSessionFixture;

TEST_F(BaseStalledCaster, StopsWhileTheCasterHasStoppedReading) {
  StalledCaster stalled;
  settings.port = stalled.Port();
  PtyPair pty;
  SetFieldText(settings.comPortName, Wide(pty.DevicePath()));
  fcntl(pty.ReceiverFd(), F_SETFL, fcntl(pty.ReceiverFd(), F_GETFL) | O_NONBLOCK);

  // The receiver talks without pause until the test ends.
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    const std::string block(4096, 'x');
    while (feeding.load()) {
      if (write(pty.ReceiverFd(), block.data(), block.size()) <= 0)
        std::this_thread::sleep_for(1ms);
    }
  });
  const StopAtExit stopAtExit{*this};
  struct JoinFeeder {
    std::atomic<bool>& feeding;
    std::thread& feeder;
    ~JoinFeeder() {
      feeding.store(false);
      feeder.join();
    }
  } joinFeeder{feeding, feeder};

  Start();
  for (int i = 0; i < 5000 && !stalled.LoggedIn(); ++i) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(stalled.LoggedIn());
  clock.SetRealPollMs(kFastPollMs);

  // The upload fills the connection and then sits in a send the caster never takes: the count
  // stops moving (or cannot even be read) for half a second.
  std::int32_t last = -2;
  int unchanged = 0;
  for (int i = 0; i < 400 && unchanged < 10; ++i) {
    std::this_thread::sleep_for(50ms);
    std::int32_t now = -1;
    if (status.lock.try_lock()) {
      now = status.total;
      status.lock.unlock();
    }
    unchanged = now == last ? unchanged + 1 : 0;
    last = now;
  }
  ASSERT_EQ(unchanged, 10) << "the upload never stalled";

  // The front end reads the status (its status line) and stops the session, as on Ctrl+C.
  auto stop = std::async(std::launch::async, [&] {
    const SessionSnapshot snapshot = status.Snapshot();
    StopSession(status, link, clock, StopKind::kDisconnect);
    return snapshot;
  });
  const bool stopped = stop.wait_for(10s) == std::future_status::ready;
  EXPECT_TRUE(stopped) << "the status or the stop waited for a send the caster never takes";
  if (!stopped) stalled.Drop();  // lets the blocked send fail, so the test can end
  const SessionSnapshot snapshot = stop.get();
  EXPECT_GT(snapshot.total, 0);
  EXPECT_FALSE(status.HasWorker());
  EXPECT_FALSE(status.socket.IsOpen());
  EXPECT_FALSE(link.IsComPortOpen());
}

}  // namespace
}  // namespace quillon::testing
