// Connecting and sending to a caster, as both session workers do it.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// Connects the stream socket `fd` to `address` on the low 16 bits of `port`, blocking.
// Returns 0 when connected, otherwise the error number. 0.0.0.0 (a name that did not
// resolve) names no caster: Linux would take it for this host, so it fails with EADDRNOTAVAIL.
int ConnectToCaster(int fd, in_addr address, std::int32_t port);

// Sends all `size` bytes, following a partial send with the rest; false when the connection
// fails. Never raises SIGPIPE.
bool SendAll(int fd, const char* data, std::size_t size);

// The connect-failure message with the system's text for `error`.
std::u16string ConnectionErrorText(int error);

}  // namespace quillon
