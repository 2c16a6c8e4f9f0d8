// Keeps a command-line session company while its worker runs: a status line a second, and the
// stop sequence when the user asks for it or the worker has given up.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "link/com_link.h"
#include "platform/clock.h"
#include "session/session_status.h"

namespace quillon::cli {

// "HH:MM:SS <rate> B/s <total> bytes"
std::string StatusLine(const SessionSnapshot& snapshot);

// The line printed each second; a mode with more to tell than the counters brings its own.
using StatusLineFormat = std::function<std::string(const SessionSnapshot&)>;

enum class SessionEnd {
  kStopAsked,  // `stopFd` became readable, or the time limit passed
  kGaveUp,     // the worker gave up after a failure
};

// Prints a status line (`format`) on `out` about once a second (timed by `clock`) while the
// session runs.
// Ends when `stopFd` becomes readable (a signal descriptor, or a test's pipe), when
// `limitSeconds` have passed, or when the worker has given up; then runs the stop sequence
// (the full one when asked to stop) and returns how the session ended.
SessionEnd RunSession(SessionStatus& status, ComLink& link, Clock& clock, int stopFd,
                      std::FILE* out, std::optional<int> limitSeconds = std::nullopt,
                      const StatusLineFormat& format = StatusLine);

}  // namespace quillon::cli
