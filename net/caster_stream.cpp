#include "net/caster_stream.h"

#include <sys/socket.h>

#include <cerrno>

namespace quillon {

WaitEnd CasterStream::WaitReadable(Clock& clock, std::uint32_t limitMs, const StopRequested& stop) {
  if (HoldsReadyBytes()) return WaitEnd::kReady;
  const int fd = Descriptor();
  return WaitInSteps(clock, limitMs, stop,
                     [&](std::uint32_t ms) { return clock.WaitReadable(fd, ms); });
}

int CasterStream::Send(std::string_view data, Clock& clock, std::uint32_t stallLimitMs,
                       const StopRequested& stop) {
  std::uint32_t progress = clock.TickCount();
  while (!data.empty()) {
    const ssize_t taken = SendReady(data);
    if (taken > 0) {
      data.remove_prefix(static_cast<std::size_t>(taken));
      progress = clock.TickCount();
      continue;
    }
    if (taken < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
    // Over TLS the same bytes are offered again: the library holds their record.
    const std::uint32_t left = TimeLeft(clock, progress, stallLimitMs);
    if (const int error = WaitReadyInSteps(clock, fd_, SendAwaits(), left, stop)) return error;
  }
  return 0;
}

ssize_t PlainCasterStream::ReadReady(std::span<char> buffer) {
  ssize_t got;
  do {
    got = recv(Descriptor(), buffer.data(), buffer.size(), MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  return got;
}

ssize_t PlainCasterStream::SendReady(std::string_view data) {
  ssize_t sent;
  do {
    sent = send(Descriptor(), data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

}  // namespace quillon
