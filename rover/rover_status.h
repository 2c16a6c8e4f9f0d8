// The Rover's status object: the session status as both modes have it; the Rover adds nothing.
#pragma once

#include "session/session_status.h"

namespace quillon {

class RoverStatus : public SessionStatus {};

}  // namespace quillon
