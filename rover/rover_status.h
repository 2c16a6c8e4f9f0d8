// The Rover's status object: the session status both modes share, plus what a Rover that
// reconnects by itself shows while it waits for its next attempt.
#pragma once

#include <string>

#include "session/session_status.h"

namespace quillon {

class RoverStatus : public SessionStatus {
 public:
  // The worker writes the fields below: it must have ended before they go.
  ~RoverStatus() override { EndWorker(); }

  // Guarded by `lock`. The attempt in progress or just ended, from 1; 0 before the first.
  int attempt = 0;
  // Reconnecting: the seconds left before the next attempt, 0 while none is awaited; and why the
  // last attempt ended, as its message box would have said it, with what really happened.
  int retryInSeconds = 0;
  std::u16string reason;
  std::u16string detail;

  // Everything SessionStatus::Reset clears, and the fields above.
  void Reset() override;
};

}  // namespace quillon
