// The bytes a session has for the caster and the caster has not taken yet, within a bound: when
// the caster falls behind, the oldest go rather than the session waiting for it, so that what
// reaches the caster is as fresh as its pace allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// With the kernel's send buffer (kCasterSendBufferBytes, doubled), about 64 kB wait in all.
inline constexpr std::size_t kUpstreamQueueBytes = 16 * 1024;

class UpstreamQueue {
 public:
  explicit UpstreamQueue(std::size_t capacity = kUpstreamQueueBytes) : capacity_(capacity) {}

  // Adds `bytes` behind what waits. When more than the capacity would wait, the oldest bytes go:
  // whole lines (NMEA sentences) where the bytes are text, so that no sentence reaches the caster
  // without its start, while the rest of a line whose start has been taken (Take) is kept. In
  // bytes without line ends (binary data), just the excess goes.
  void Push(std::string_view bytes);

  // What waits, oldest first; `count` bytes of it have been taken by the caster.
  std::string_view Front() const { return pending_; }
  void Take(std::size_t count);

  bool Empty() const { return pending_.empty(); }
  // How many more bytes may wait before the oldest go.
  std::size_t Room() const { return capacity_ > pending_.size() ? capacity_ - pending_.size() : 0; }
  // Bytes dropped so far.
  std::uint64_t Dropped() const { return dropped_; }
  // Drops what waits (a new connection begins), without counting it.
  void Clear();

 private:
  const std::size_t capacity_;
  std::string pending_;
  bool midLine_ = false;  // the caster has taken the start of the first line that waits
  std::uint64_t dropped_ = 0;
};

}  // namespace quillon
