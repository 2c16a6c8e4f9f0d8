#include "net/session_io.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

namespace quillon {

std::size_t UnacknowledgedBytes(int fd) {
  int bytes = 0;
  if (ioctl(fd, SIOCOUTQ, &bytes) != 0 || bytes < 0) return 0;
  return static_cast<std::size_t>(bytes);
}

void LimitSendBuffer(int fd) {
  const int size = kCasterSendBufferBytes;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

}  // namespace quillon
