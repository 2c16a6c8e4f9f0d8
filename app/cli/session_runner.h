// Keeps a command-line session company while its worker runs: reports it about once a second,
// and runs the stop sequence when the user asks for it or the worker has given up.
#pragma once

#include <functional>
#include <optional>

#include "app/cli/activity_clock.h"
#include "app/cli/session_report.h"
#include "link/com_link.h"
#include "platform/clock.h"
#include "session/session_status.h"

namespace quillon::cli {

struct SessionRun {
  SessionStatus& status;
  ComLink& link;
  Clock& clock;                // the front end's waits and the stop sequence
  ActivityClock& workerClock;  // the clock the worker was given
  int stopFd = -1;             // readable when the user asks to stop; -1: none
  std::optional<int> limitSeconds;
  std::function<SessionState()> state;  // what the session is doing now
};

// Reports the session (`run.state`) to `reporter` about once a second (timed by `run.clock`)
// while it runs. Ends when `stopFd` becomes readable (a signal descriptor, or a test's pipe),
// when `limitSeconds` have passed, when the reader of the reporter's output has gone (as a stop
// asked for), or when the worker has given up; then runs the stop sequence (the full one unless
// the worker gave up), tells the reporter, and returns how the session ended.
SessionEnd RunSession(const SessionRun& run, SessionReporter& reporter);

// The state of a session that has no retries: connecting until the caster accepts the login;
// connected then, or the receiver stalled while a write to it waits.
SessionState PlainSessionState(SessionStatus& status);

}  // namespace quillon::cli
