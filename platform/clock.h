// Time as the program sees it. Every duration goes through a Clock, so tests can run minutes of
// a session in milliseconds with a virtual one.
#pragma once

#include <poll.h>

#include <cstdint>
#include <ctime>
#include <span>

namespace quillon {

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start, wrapping at 2^32 like a tick counter.
  virtual std::uint32_t TickCount() = 0;

  // Calendar time in seconds.
  virtual std::time_t Now() = 0;

  // Blocks the calling thread for `ms` milliseconds.
  virtual void Sleep(std::uint32_t ms) = 0;

  // Waits up to `ms` milliseconds until `fd` is readable (or has hung up).
  // Returns >0 when readable, 0 on time-out, <0 on failure with errno set.
  virtual int WaitReadable(int fd, std::uint32_t ms) = 0;

  // Waits up to `ms` milliseconds until `fd` is writable, which is how a non-blocking connect
  // reports that it has finished (or failed). Returns as WaitReadable. The default waits in
  // real time; clocks that model time override it.
  virtual int WaitWritable(int fd, std::uint32_t ms);

  // Waits up to `ms` milliseconds until one of `entries` is ready for its events, as poll does
  // (a negative descriptor is left out; `revents` is set for each entry). Returns the number of
  // entries ready, 0 on time-out, <0 on failure with errno set. A session waits here on the
  // caster and the receiver together. The default waits in real time; clocks that model time
  // override it.
  virtual int WaitAny(std::span<pollfd> entries, std::uint32_t ms);
};

// The process's real clock (monotonic ticks, wall time, real sleeps, poll).
Clock& RealClock();

}  // namespace quillon
