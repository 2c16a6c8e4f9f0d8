#include "testing/hanging_listener.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillon::testing {

HangingListener::HangingListener() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // A backlog of 0 still queues one connection: the filler's.
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener_, 0) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "no listening socket: " << strerror(errno);
    return;
  }
  filler_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int started = connect(filler_, reinterpret_cast<sockaddr*>(&address), length);
  // The handshake on the loopback completes at once; the limit only keeps a broken one from
  // holding the test.
  pollfd queued{filler_, POLLOUT, 0};
  if (started != 0 && (errno != EINPROGRESS || poll(&queued, 1, 1000) != 1)) {
    ADD_FAILURE() << "the accept queue could not be filled: " << strerror(errno);
    return;
  }
  port_ = ntohs(address.sin_port);
}

HangingListener::~HangingListener() {
  if (filler_ >= 0) close(filler_);
  if (listener_ >= 0) close(listener_);
}

}  // namespace quillon::testing
