// The stop sequence that every front end of both modes runs to end a session.
#pragma once

#include <functional>

#include "link/com_link.h"
#include "platform/clock.h"
#include "session/session_status.h"

namespace quillon {

enum class StopKind {
  // Disconnect (and the reset after a worker gave up): always the full 4 s + 1 s.
  kDisconnect,
  // The front end closes: the waits only when a session is still running.
  kClose,
};

// Runs between two attempts to wake a worker that has not ended yet (a few real milliseconds
// apart): a windowed front end keeps its windows painted here.
using WhileWorkerEnds = std::function<void()>;

// Clears running, waits 4000 ms, resets the status, waits 1000 ms (all through `clock`); then,
// when a worker exists, closes the receiver link and ends the worker; then closes the caster
// socket if it is still open. Ending the worker means: shut its socket down (a blocked connect
// or read returns), dismiss any box it is waiting on, and join it, repeated until it has
// returned, with the status lock let go meanwhile if the caller holds it, and `whileEnding` run
// between the attempts. On return no worker is left, the socket and the link are closed, and
// the status is reset. Returns the status as the first reset found it: after the 4 s, by when a
// worker that was moving data has seen the stop and counted its last pass; without the waits,
// as the ended worker left it.
SessionSnapshot StopSession(SessionStatus& status, ComLink& link, Clock& clock,
                            StopKind kind = StopKind::kDisconnect,
                            const WhileWorkerEnds& whileEnding = {});

}  // namespace quillon
