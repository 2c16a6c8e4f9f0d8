#include "session/caster_uplink.h"

#include <algorithm>
#include <cerrno>

#include "net/session_io.h"
#include "ntrip/chunked_body.h"

namespace quillon {

void CasterUplink::Begin(CasterStream& stream, std::uint32_t now, bool chunked,
                         OutputQueue* source) {
  stream_ = &stream;
  chunked_ = chunked;
  source_ = source;
  LimitSendBuffer(stream.Descriptor());
  queue_.Clear();
  frame_.clear();
  frameSent_ = 0;
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

std::string_view CasterUplink::Next() {
  if (!chunked_) return Pending();
  if (frameSent_ == frame_.size()) {
    const std::string_view pending = Pending();
    if (pending.empty()) return {};
    frame_ = ChunkFrame(pending);
    frameSent_ = 0;
    TakePending(pending.size());
  }
  return std::string_view(frame_).substr(frameSent_);
}

void CasterUplink::Sent(std::size_t count) {
  if (chunked_) {
    frameSent_ += count;
  } else {
    TakePending(count);
  }
  sent_ += count;
}

void CasterUplink::SendWaiting() {
  while (error_ == 0) {
    // Over TLS, bytes the stream could not take must be offered again as they were: they stay
    // at the front until taken.
    const std::string_view next = Next();
    if (next.empty()) return;
    const ssize_t count = stream_->SendReady(next);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (count < 0) {
      error_ = errno;
      return;
    }
    Sent(static_cast<std::size_t>(count));
  }
}

int CasterUplink::Flush(std::uint32_t now) {
  SendWaiting();
  if (error_ != 0) return error_;
  // What the kernel accepted says nothing about the caster: it takes bytes until its buffer is
  // full, long after the caster stopped reading. Only the caster's acknowledgements do.
  const std::size_t unacknowledged = UnacknowledgedBytes(stream_->Descriptor());
  const std::uint64_t acknowledged = sent_ - std::min<std::uint64_t>(unacknowledged, sent_);
  if ((unacknowledged == 0 && !Waiting()) || acknowledged != acknowledged_) {
    acknowledged_ = acknowledged;
    lastProgress_ = now;
    return 0;
  }
  return now - lastProgress_ >= kCasterStallLimitMs ? ETIMEDOUT : 0;
}

}  // namespace quillon
