#include "net/caster_socket.h"

#include <sys/socket.h>
#include <unistd.h>

namespace quillon {

void CasterSocket::Set(int fd) {
  std::lock_guard lock(mutex_);
  const int old = fd_.exchange(fd);
  if (old >= 0 && old != fd) close(old);
  if (old != fd) ++connection_;
}

void CasterSocket::Shutdown() {
  std::lock_guard lock(mutex_);
  const int fd = fd_.load();
  if (fd >= 0) shutdown(fd, SHUT_RDWR);
}

void CasterSocket::Close() {
  std::lock_guard lock(mutex_);
  const int fd = fd_.exchange(-1);
  if (fd >= 0) close(fd);
}

void CasterSocket::CloseIfHeld(std::uint64_t connection) {
  std::lock_guard lock(mutex_);
  if (connection_.load() != connection) return;
  const int fd = fd_.exchange(-1);
  if (fd >= 0) close(fd);
}

}  // namespace quillon
