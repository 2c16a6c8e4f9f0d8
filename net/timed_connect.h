// A TCP connect with a time limit that runs through the Clock, so a caster that never accepts
// cannot hold the caller forever and tests can run the limit in virtual time.
#pragma once

#include <cstdint>

#include "net/address.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

// Connects the stream socket `fd` (of `address`'s family) to `address` and `port` (host byte
// order), waiting at most `ms` milliseconds and seeing `stop` within a step. Returns 0 when
// connected, otherwise the error number: ETIMEDOUT when the time ran out, ECANCELED when `stop`
// asked to give up. The socket is left blocking, as it was.
int ConnectWithin(int fd, const IpAddress& address, std::uint16_t port, std::uint32_t ms,
                  Clock& clock, const StopRequested& stop = {});

}  // namespace quillon
