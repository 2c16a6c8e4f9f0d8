// What the kernel holds of a session's bytes for the caster, and how much it may hold. (The
// session's reads and sends go through its caster stream.)
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <span>
#include <string_view>

namespace quillon {

// The most the kernel keeps of a session's bytes for the caster (the system doubles what is
// asked for, for its bookkeeping). Enough for 11,520 B/s over a link with a 2 s round trip;
// small enough that a caster that stops taking data is not fed minutes of stale bytes.
inline constexpr int kCasterSendBufferBytes = 24 * 1024;

// Bytes handed to the kernel for the caster that the caster has not acknowledged yet, sent or
// not (SIOCOUTQ); 0 when the socket cannot tell.
std::size_t UnacknowledgedBytes(int fd);

// Bounds the kernel's send buffer of `fd` to kCasterSendBufferBytes.
void LimitSendBuffer(int fd);

}  // namespace quillon
