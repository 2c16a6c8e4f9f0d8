#include "net/timed_connect.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>

namespace quillon {

int ConnectWithin(int fd, const sockaddr_in& address, std::uint32_t ms, Clock& clock,
                  const StopRequested& stop) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;

  int error = 0;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EINTR) error = AwaitConnect(clock, fd, ms, stop);
  }
  fcntl(fd, F_SETFL, flags);
  return error;
}

}  // namespace quillon
