// A TCP connect with a time limit that runs through the Clock, so a caster that never accepts
// cannot hold the caller forever and tests can run the limit in virtual time.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

// Connects the stream socket `fd` to `address`, waiting at most `ms` milliseconds and seeing
// `stop` within a step. Returns 0 when connected, otherwise the error number: ETIMEDOUT when the
// time ran out, ECANCELED when `stop` asked to give up. The socket is left blocking, as it was.
int ConnectWithin(int fd, const sockaddr_in& address, std::uint32_t ms, Clock& clock,
                  const StopRequested& stop = {});

}  // namespace quillon
