// One attempt of a Rover session, as the worker's body runs them: from opening the receiver link
// to the end of the relay.
#pragma once

#include <cstdint>
#include <string>

#include "rover/rover_session.h"

namespace quillon {

struct RoverAttemptEnd {
  enum class Kind {
    kStopped,        // running was found 0: the socket and the link are closed, nothing to say
    kLinkNotOpened,  // the receiver link did not open and has shown its own message
    kFailed,         // `text`, `caption` and `detail` say why; the socket is closed
  };
  Kind kind = Kind::kStopped;
  std::u16string text;
  std::u16string caption;
  std::u16string detail;
  bool refused = false;         // the caster answered the login, and not with its consent
  bool receiverFailed = false;  // the receiver link failed, and is closed
  std::uint32_t relayedMs = 0;  // how long the session relayed; 0 when the login did not succeed
};

// Runs one attempt. The receiver link is opened first unless `linkOpen` says it is open from the
// attempt before; `linkOpen` tells afterwards whether it still is. `attempt` counts from 1: after
// the first, what the receiver sent while the worker waited is dropped once the caster accepts.
RoverAttemptEnd RunRoverAttempt(const RoverSessionContext& context, int attempt, bool& linkOpen);

}  // namespace quillon
