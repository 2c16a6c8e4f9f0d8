// The Rover's status object: the session status both modes share, of which a Rover that
// reconnects by itself also shows the attempt, the seconds before the next one and the reason.
#pragma once

#include "session/session_status.h"

namespace quillon {

class RoverStatus final : public SessionStatus {};

// The worker writes every field: they must all be SessionStatus's, which ends the worker first.
static_assert(sizeof(RoverStatus) == sizeof(SessionStatus), "RoverStatus adds no fields");

}  // namespace quillon
