// Where a session worker's bytes meet the caster once the login is done: one read and one send,
// neither of which ever waits (the worker waits on the clock instead), and what the kernel holds
// for the caster. A session that speaks to its caster through another transport changes these.
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

// As recv without waiting: the count, 0 once the caster has closed, -1 with errno (EAGAIN when
// nothing has arrived).
ssize_t ReadFromCaster(int fd, std::span<char> buffer);

// As send without waiting, never raising SIGPIPE: the count taken (maybe fewer than all), -1
// with errno (EAGAIN when the socket has no room).
ssize_t SendToCaster(int fd, std::string_view bytes);

// Bytes handed to the kernel for the caster that the caster has not acknowledged yet, sent or
// not (SIOCOUTQ); 0 when the socket cannot tell.
std::size_t UnacknowledgedBytes(int fd);

// Bounds the kernel's send buffer of `fd` to kCasterSendBufferBytes.
void LimitSendBuffer(int fd);

}  // namespace quillon
