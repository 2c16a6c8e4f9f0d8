#include "net/timed_connect.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "testing/virtual_clock.h"

namespace quillon {
namespace {

// A listening socket on 127.0.0.1 and its address; closed at the end of the test.
struct Listener {
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    listen(fd, 4);
  }
  ~Listener() { close(fd); }
  int fd;
  sockaddr_in address{};
};

TEST(ConnectWithin, ConnectsOrReportsTheErrorAndLeavesTheSocketBlocking) {
  testing::VirtualClock clock(1000, 0, 1000);
  sockaddr_in refused{};
  {
    Listener listener;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(ConnectWithin(fd, listener.address, 10000, clock), 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    close(fd);
    refused = listener.address;
  }
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(ConnectWithin(fd, refused, 10000, clock), ECONNREFUSED);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_LT(clock.Elapsed(), 10000u);
  close(fd);
}

}  // namespace
}  // namespace quillon
