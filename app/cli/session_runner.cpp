#include "app/cli/session_runner.h"

#include <unistd.h>

#include "session/stop_session.h"

namespace quillon::cli {

std::string StatusLine(const SessionSnapshot& snapshot) {
  return snapshot.elapsed + " " + std::to_string(snapshot.rate) + " B/s " +
         std::to_string(snapshot.total) + " bytes";
}

SessionEnd RunSession(SessionStatus& status, ComLink& link, Clock& clock, int stopFd,
                      std::FILE* out, std::optional<int> limitSeconds,
                      const StatusLineFormat& format) {
  constexpr std::uint32_t kLineMs = 1000;
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    // A stop descriptor that cannot be watched leaves a plain one-second pace.
    const bool stopAsked = stopFd >= 0 ? clock.WaitReadable(stopFd, kLineMs) > 0
                                       : (clock.Sleep(kLineMs), false);
    const bool timeUp = limitSeconds &&
                        clock.TickCount() - start >= static_cast<std::uint32_t>(*limitSeconds) * 1000;
    if (stopAsked) {
      // Take the request (a signal's record, a test's byte), so it is not answered twice.
      char request[128];
      [[maybe_unused]] const ssize_t taken = read(stopFd, request, sizeof request);
    }
    if (stopAsked || timeUp) {
      StopSession(status, link, clock, StopKind::kDisconnect);
      return SessionEnd::kStopAsked;
    }
    const SessionSnapshot snapshot = status.Snapshot();
    if (!snapshot.running) {
      // The worker gave up and has shown why; clean up without the waits.
      StopSession(status, link, clock, StopKind::kClose);
      return SessionEnd::kGaveUp;
    }
    std::fprintf(out, "%s\n", format(snapshot).c_str());
    std::fflush(out);
  }
}

}  // namespace quillon::cli
