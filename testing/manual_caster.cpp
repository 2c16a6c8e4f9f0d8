#include "testing/manual_caster.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "net/session_io.h"

namespace quillon::testing {

ManualCaster::ManualCaster(std::string reply, bool smallWindow)
    : reply_(std::move(reply)),
      listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
  // Inherited by the accepted connection: its window closes after a few kB.
  const int small = 4096;
  if (smallWindow) setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
  listen(listener_, 1);
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
}

ManualCaster::~ManualCaster() {
  Drop();
  close(listener_);
}

void ManualCaster::Answer() {
  const int fd = LoggedIn() ? -1 : accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  // The request, sent before the client waits for the reply; what follows it is the test's.
  char request[4096];
  [[maybe_unused]] const ssize_t read = recv(fd, request, sizeof request, MSG_DONTWAIT);
  if (send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply_.size())) {
    connection_.store(fd);
  } else {
    close(fd);
  }
}

bool ManualCaster::SendToClient(std::string_view bytes) {
  const int fd = connection_.load();
  return fd >= 0 && send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                        static_cast<ssize_t>(bytes.size());
}

void ManualCaster::Drop() {
  const int fd = connection_.exchange(-1);
  if (fd >= 0) close(fd);
}

void WaitUntilAcknowledgementsSettle(int socket) {
  std::size_t last = UnacknowledgedBytes(socket);
  for (int still = 0; still < 20; ++still) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::size_t now = UnacknowledgedBytes(socket);
    if (now != last) still = 0;
    last = now;
  }
  EXPECT_GT(last, 0u) << "the caster took every byte";
}

}  // namespace quillon::testing
