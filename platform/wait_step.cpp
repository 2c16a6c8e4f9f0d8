#include "platform/wait_step.h"

#include <sys/socket.h>

namespace quillon {

namespace {

int ErrorOf(WaitEnd end) {
  switch (end) {
    case WaitEnd::kReady:
      return 0;
    case WaitEnd::kTimedOut:
      return ETIMEDOUT;
    case WaitEnd::kStopped:
      return ECANCELED;
    case WaitEnd::kFailed:
      break;
  }
  return errno;
}

}  // namespace

int WaitWritableInSteps(Clock& clock, int fd, std::uint32_t limitMs, const StopRequested& stop) {
  return ErrorOf(WaitInSteps(clock, limitMs, stop,
                             [&](std::uint32_t ms) { return clock.WaitWritable(fd, ms); }));
}

int WaitReadableInSteps(Clock& clock, int fd, std::uint32_t limitMs, const StopRequested& stop) {
  return ErrorOf(WaitInSteps(clock, limitMs, stop,
                             [&](std::uint32_t ms) { return clock.WaitReadable(fd, ms); }));
}

int WaitReadyInSteps(Clock& clock, int fd, Readiness readiness, std::uint32_t limitMs,
                     const StopRequested& stop) {
  return readiness == Readiness::kReadable ? WaitReadableInSteps(clock, fd, limitMs, stop)
                                           : WaitWritableInSteps(clock, fd, limitMs, stop);
}

int AwaitConnect(Clock& clock, int fd, std::uint32_t limitMs, const StopRequested& stop) {
  int error = WaitWritableInSteps(clock, fd, limitMs, stop);
  if (error != 0) return error;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace quillon
