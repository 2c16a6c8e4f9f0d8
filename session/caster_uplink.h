// What a session sends to the caster, and how it tells a caster that has stopped taking it. Both
// workers hand their bytes over here as they read them and flush what waits on every pass; a
// send never holds a session up, so the receiver is read and the corrections relayed while the
// caster dawdles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/caster_stream.h"
#include "session/fan_out.h"
#include "session/upstream_queue.h"

namespace quillon {

// How long the caster may acknowledge none of the bytes it was sent before it counts as gone.
inline constexpr std::uint32_t kCasterStallLimitMs = 20000;

class CasterUplink {
 public:
  // A new connection through `stream` at tick `now`: the kernel's send buffer bounded
  // (LimitSendBuffer), nothing waiting. `chunked`: the bytes go as an HTTP chunked body (an NTRIP
  // 2 upload), each send of what waits framed whole, so that dropping old bytes never breaks the
  // framing. `source`, when given, is where the bytes wait (an output of a fan-out, sent from its
  // shared blocks); otherwise they wait in the uplink's own queue, handed over with Send.
  void Begin(CasterStream& stream, std::uint32_t now, bool chunked = false,
             OutputQueue* source = nullptr);

  // Sends `bytes` behind what waits, as much as the socket takes now; the rest waits (see
  // UpstreamQueue::Push for what goes when too much waits). A failed send is told by Flush.
  // Not with a source.
  void Send(std::string_view bytes);

  // Sends what waits as far as the socket takes it, and no more.
  void Pump() { SendWaiting(); }

  // Sends what waits as far as the socket takes it, then looks at what the caster has
  // acknowledged. 0 when all is well; ETIMEDOUT when bytes have waited for kCasterStallLimitMs
  // (of ticks passed as `now`) and the caster acknowledged none of them, however much the kernel
  // still accepted meanwhile; otherwise the error number of a failed send.
  int Flush(std::uint32_t now);

  // Bytes wait for room in the socket: the session should wait until it is writable.
  bool Waiting() { return !PendingEmpty() || frameSent_ < frame_.size(); }
  // Bytes dropped because the caster fell behind.
  std::uint64_t Dropped() { return source_ != nullptr ? source_->Dropped() : queue_.Dropped(); }

 private:
  CasterStream* stream_ = nullptr;
  bool chunked_ = false;
  OutputQueue* source_ = nullptr;
  UpstreamQueue queue_;
  std::string frame_;               // chunked: the frame being sent, which must go out whole
  std::size_t frameSent_ = 0;       // of it
  std::uint64_t sent_ = 0;          // handed to the kernel on this connection
  std::uint64_t acknowledged_ = 0;  // of those, acknowledged by the caster when last looked
  std::uint32_t lastProgress_ = 0;  // tick at which nothing waited, or the caster last acknowledged
  int error_ = 0;                   // of the first send that failed

  void SendWaiting();
  // What waits, in the source or in the uplink's own queue.
  std::string_view Pending() { return source_ != nullptr ? source_->Front() : queue_.Front(); }
  void TakePending(std::size_t count) {
    source_ != nullptr ? source_->Take(count) : queue_.Take(count);
  }
  bool PendingEmpty() { return source_ != nullptr ? source_->Empty() : queue_.Empty(); }
  // What goes out next: the frame in flight, or what waits (framed first when chunked).
  std::string_view Next();
  void Sent(std::size_t count);
};

}  // namespace quillon
