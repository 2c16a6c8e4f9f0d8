#include "app/cli/session_runner.h"

#include <unistd.h>

#include "session/stop_session.h"

namespace quillon::cli {

SessionState PlainSessionState(SessionStatus& status) {
  SessionState state;
  state.counters = status.Snapshot();
  state.phase = !state.counters.connected        ? SessionPhase::kConnecting
                : state.counters.receiverStalled ? SessionPhase::kReceiverStalled
                                                 : SessionPhase::kConnected;
  return state;
}

SessionEnd RunSession(const SessionRun& run, SessionReporter& reporter) {
  constexpr std::uint32_t kReportMs = 1000;
  Clock& clock = run.clock;
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    SessionState state = run.state();
    if (!state.counters.running) {
      // The worker gave up and has shown why; clean up without the waits.
      reporter.Stopping();
      reporter.Ended(SessionEnd::kGaveUp,
                     StopSession(run.status, run.link, clock, StopKind::kClose));
      return SessionEnd::kGaveUp;
    }
    reporter.Report(state, clock.TickCount(), run.workerClock.LastActivity());
    // The reader of the output went away (`quillon base | head -n 1`): the user has what they
    // wanted, so the session ends as a stop would, quietly, as `git log | head` does. Going on
    // would hold the shell's prompt, which waits for every command of the pipeline.
    const bool readerGone = reporter.ReaderGone();

    // A stop descriptor that cannot be watched leaves a plain one-second pace.
    const bool stopAsked =
        !readerGone && (run.stopFd >= 0 ? clock.WaitReadable(run.stopFd, kReportMs) > 0
                                        : (clock.Sleep(kReportMs), false));
    const bool timeUp =
        run.limitSeconds &&
        clock.TickCount() - start >= static_cast<std::uint32_t>(*run.limitSeconds) * 1000;
    if (stopAsked) {
      // Take the request (a signal's record, a test's byte), so it is not answered twice.
      char request[128];
      [[maybe_unused]] const ssize_t taken = read(run.stopFd, request, sizeof request);
    }
    if (stopAsked || timeUp || readerGone) {
      reporter.Stopping();
      // Counted once the worker has seen the stop: the bytes it moves meanwhile are in the total.
      reporter.Ended(SessionEnd::kStopAsked,
                     StopSession(run.status, run.link, clock, StopKind::kDisconnect));
      return SessionEnd::kStopAsked;
    }
  }
}

}  // namespace quillon::cli
