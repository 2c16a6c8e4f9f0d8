// Connecting to a caster, as every client of a caster in this program does it: the session
// workers and the source-table client (sending is the stream's, caster_stream.h). Each keeps
// its own rules for what a failure means; the steps themselves are here once.
#pragma once

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
// One address of several that hangs gets at least this much of the connect limit (or what is
// left of it): a caster on a mobile network may lose the first SYNs. One that fails at once
// passes on to the next address at once.
inline constexpr std::uint32_t kMinAddressShareMs = 5000;
// The longest a session's send may make no progress before the caster counts as gone.
inline constexpr std::uint32_t kSendStallLimitMs = 20000;

enum class ConnectStep {
  kConnected,
  kInvalidAddress,  // a literal address that is none (AddressKind::kInvalidLiteral)
  kUnresolved,      // a host name that did not resolve (`address.problem` says why)
  kNoSocket,        // no socket could be created for the last address tried (`error`)
  kConnectFailed,   // the connect to the last address tried failed (`error`; ETIMEDOUT after
                    // the limit)
  kStopped,         // `stop` asked to give up while a step waited
};

struct CasterConnect {
  ConnectStep step = ConnectStep::kStopped;
  int error = 0;
  CasterAddress address;  // what the address text resolved to
  IpAddress peer;         // kConnected: the address that accepted
  // The clock's tick when the first connect began (behind the lookup), from which the connect
  // limit runs: a step after the connect (the TLS handshake) spends what is left of it.
  std::uint32_t connectStart = 0;
};

// Resolves `address` (ResolveCasterAddress) and tries its addresses in turn until one accepts:
// creates a TCP socket into `socket`, where the stop sequence can shut it down, and connects it
// to the low 16 bits of `port`. All addresses together get `limitMs` of `clock`: one that fails
// passes on to the next at once; one that hangs is given up after its share of the time left
// (that time divided among the addresses left, at least kMinAddressShareMs), the last address
// gets all of it. `stop` is seen within a step. After a failed connect the last socket stays in
// `socket` for the caller to close when its rules say. 0.0.0.0 and :: name no caster: Linux
// would take them for this host, so their connect fails with EADDRNOTAVAIL.
CasterConnect ConnectToCaster(std::string_view address, std::int32_t port, CasterSocket& socket,
                              Clock& clock, std::uint32_t limitMs, const StopRequested& stop = {},
                              const NameLookup& lookup = LookUpHostName);

// The socket and connect steps alone, to one address resolved before (such as `peer`).
CasterConnect ConnectToAddress(const IpAddress& address, std::int32_t port, CasterSocket& socket,
                               Clock& clock, std::uint32_t limitMs, const StopRequested& stop = {});

// The connect-failure message with the system's text for `error`.
std::u16string ConnectionErrorText(int error);
// The same message for a host name that did not resolve, with the lookup's reason.
std::u16string ConnectionErrorText(const CasterAddress& unresolved);
// What really happened when the host name `name` did not resolve, as one sentence.
std::u16string UnresolvedNameDetail(std::string_view name);

// What a connect that failed tells the user, as the Rover says it: the message and its detail
// (empty when it has none). `connect` ended in any step but kConnected and kStopped; `address`
// is the text it was given.
struct ConnectFailure {
  std::u16string text;
  std::u16string detail;
};
ConnectFailure DescribeConnectFailure(const CasterConnect& connect, std::string_view address);

}  // namespace quillon
