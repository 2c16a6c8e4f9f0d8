#include "net/timed_connect.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>

namespace quillon {

int ConnectWithin(int fd, const IpAddress& address, std::uint16_t port, std::uint32_t ms,
                  Clock& clock, const StopRequested& stop) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;

  const sockaddr_storage target = address.WithPort(port);
  int error = 0;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&target), address.length) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EINTR) error = AwaitConnect(clock, fd, ms, stop);
  }
  fcntl(fd, F_SETFL, flags);
  return error;
}

}  // namespace quillon
