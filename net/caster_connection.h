// Connecting and sending to a caster, as every client of a caster in this program does it: the
// session workers and the source-table client. Each keeps its own rules for what a failure
// means; the steps themselves are here once.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/address.h"
#include "net/caster_socket.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

// The longest a session waits for a caster to accept: long enough for a mobile network that
// loses the first SYNs, short of the system's own two minutes.
inline constexpr std::uint32_t kCasterConnectLimitMs = 20000;
// The longest a session's send may make no progress before the caster counts as gone.
inline constexpr std::uint32_t kSendStallLimitMs = 20000;

enum class ConnectStep {
  kConnected,
  kInvalidAddress,  // neither a host name nor a valid dotted address
  kUnresolved,      // a host name that did not resolve (`address.problem` says why)
  kNoSocket,        // no socket could be created (`error`)
  kConnectFailed,   // the connect failed (`error`; ETIMEDOUT after the limit)
  kStopped,         // `stop` asked to give up while a step waited
};

struct CasterConnect {
  ConnectStep step = ConnectStep::kStopped;
  int error = 0;
  CasterAddress address;
};

// Resolves `address` (ResolveCasterAddress), creates a TCP socket into `socket`, where the stop
// sequence can shut it down, and connects it to the low 16 bits of `port` within `limitMs` of
// `clock`, seeing `stop` within a step. After a failed connect the socket stays in `socket` for
// the caller to close when its rules say. 0.0.0.0 names no caster: Linux would take it for this
// host, so its connect fails with EADDRNOTAVAIL.
CasterConnect ConnectToCaster(std::string_view address, std::int32_t port, CasterSocket& socket,
                              Clock& clock, std::uint32_t limitMs, const StopRequested& stop = {},
                              const NameLookup& lookup = LookUpHostName);

// The socket and connect steps alone, to an address resolved before.
CasterConnect ConnectToAddress(in_addr address, std::int32_t port, CasterSocket& socket,
                               Clock& clock, std::uint32_t limitMs, const StopRequested& stop = {});

// Sends all `size` bytes, waiting for room through `clock` in steps. Returns 0 when everything
// went out, otherwise ETIMEDOUT when the peer took no byte for `stallLimitMs`, ECANCELED when
// `stop` asked to give up, or the error number of the failed send. Never raises SIGPIPE.
int SendWithin(int fd, std::string_view data, Clock& clock, std::uint32_t stallLimitMs,
               const StopRequested& stop = {});

// The connect-failure message with the system's text for `error`.
std::u16string ConnectionErrorText(int error);
// The same message for a host name that did not resolve, with the lookup's reason.
std::u16string ConnectionErrorText(const CasterAddress& unresolved);
// What really happened when the host name `name` did not resolve, as one sentence.
std::u16string UnresolvedNameDetail(std::string_view name);

}  // namespace quillon
