#include "net/caster_stream.h"

#include <sys/socket.h>

#include <cerrno>

#include "net/caster_connection.h"

namespace quillon {

WaitEnd CasterStream::WaitReadable(Clock& clock, std::uint32_t limitMs, const StopRequested& stop) {
  if (HoldsReadyBytes()) return WaitEnd::kReady;
  const int fd = Descriptor();
  return WaitInSteps(clock, limitMs, stop,
                     [&](std::uint32_t ms) { return clock.WaitReadable(fd, ms); });
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

int PlainCasterStream::Send(std::string_view data, Clock& clock, std::uint32_t stallLimitMs,
                            const StopRequested& stop) {
  return SendWithin(Descriptor(), data, clock, stallLimitMs, stop);
}

}  // namespace quillon
