// Waits that a session's stop can end: a wait on a descriptor cut into short steps through the
// clock, with the stop request asked between them.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace quillon {

// Asked between the steps of a wait: true when the caller wants to give up (a session's stop).
using StopRequested = std::function<bool()>;

// The longest single step: a stop is seen within this time.
inline constexpr std::uint32_t kWaitStepMs = 100;

enum class WaitEnd { kReady, kTimedOut, kFailed, kStopped };

// Calls `wait(ms)` (a readable- or writable-wait of `clock`, returning as those do) in steps of
// at most kWaitStepMs until it reports the descriptor ready, fails (errno kept; an interrupted
// step is only repeated), `stop` asks to give up, or `limitMs` of the clock have passed.
template <typename Wait>
WaitEnd WaitInSteps(Clock& clock, std::uint32_t limitMs, const StopRequested& stop, Wait wait) {
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    if (stop && stop()) return WaitEnd::kStopped;
    const std::uint32_t passed = clock.TickCount() - start;
    if (passed >= limitMs) return WaitEnd::kTimedOut;
    const int ready = wait(std::min(kWaitStepMs, limitMs - passed));
    if (ready > 0) return WaitEnd::kReady;
    if (ready < 0 && errno != EINTR) return WaitEnd::kFailed;
  }
}

// What is left of `limitMs` counted from the clock's tick `since`: 0 once it has passed.
inline std::uint32_t TimeLeft(Clock& clock, std::uint32_t since, std::uint32_t limitMs) {
  const std::uint32_t passed = clock.TickCount() - since;
  return passed >= limitMs ? 0 : limitMs - passed;
}

// Waits until `fd` is writable, in steps as above. 0 when it is; otherwise ETIMEDOUT after
// `limitMs`, ECANCELED when `stop` asked to give up, or the wait's own error number.
int WaitWritableInSteps(Clock& clock, int fd, std::uint32_t limitMs, const StopRequested& stop);
// The same for readable (or hung up).
int WaitReadableInSteps(Clock& clock, int fd, std::uint32_t limitMs, const StopRequested& stop);

// What a non-blocking call that could not go on waits for on its descriptor.
enum class Readiness { kReadable, kWritable };
// One of the two above, as `readiness` says.
int WaitReadyInSteps(Clock& clock, int fd, Readiness readiness, std::uint32_t limitMs,
                     const StopRequested& stop);

// The end of a non-blocking connect under way on `fd`, waited for as above: 0 when connected,
// otherwise the connect's error number, or the wait's as above.
int AwaitConnect(Clock& clock, int fd, std::uint32_t limitMs, const StopRequested& stop);

}  // namespace quillon
