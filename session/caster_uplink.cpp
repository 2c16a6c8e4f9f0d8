#include "session/caster_uplink.h"

#include <algorithm>
#include <cerrno>

#include "net/session_io.h"

namespace quillon {

void CasterUplink::Begin(int fd, std::uint32_t now) {
  fd_ = fd;
  LimitSendBuffer(fd);
  queue_.Clear();
  sent_ = 0;
  acknowledged_ = 0;
  lastProgress_ = now;
  error_ = 0;
}

void CasterUplink::Send(std::string_view bytes) {
  // In pieces the queue has room for, each sent before the next: only what the socket cannot
  // take counts against the bound.
  SendWaiting();
  while (!bytes.empty()) {
    const std::size_t room = queue_.Room();
    const std::size_t piece = room == 0 ? bytes.size() : std::min(room, bytes.size());
    queue_.Push(bytes.substr(0, piece));
    bytes.remove_prefix(piece);
    SendWaiting();
  }
}

void CasterUplink::SendWaiting() {
  while (error_ == 0 && !queue_.Empty()) {
    const ssize_t count = SendToCaster(fd_, queue_.Front());
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (count < 0) {
      error_ = errno;
      return;
    }
    queue_.Take(static_cast<std::size_t>(count));
    sent_ += static_cast<std::uint64_t>(count);
  }
}

int CasterUplink::Flush(std::uint32_t now) {
  SendWaiting();
  if (error_ != 0) return error_;
  // What the kernel accepted says nothing about the caster: it takes bytes until its buffer is
  // full, long after the caster stopped reading. Only the caster's acknowledgements do.
  const std::size_t unacknowledged = UnacknowledgedBytes(fd_);
  const std::uint64_t acknowledged = sent_ - std::min<std::uint64_t>(unacknowledged, sent_);
  if ((unacknowledged == 0 && queue_.Empty()) || acknowledged != acknowledged_) {
    acknowledged_ = acknowledged;
    lastProgress_ = now;
    return 0;
  }
  return now - lastProgress_ >= kCasterStallLimitMs ? ETIMEDOUT : 0;
}

}  // namespace quillon
