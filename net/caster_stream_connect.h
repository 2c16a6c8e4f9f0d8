// Reaching a caster as a stream: the TCP connect and, when asked for, the TLS handshake, both
// within the one connect limit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/address.h"
#include "net/caster_connection.h"
#include "net/caster_socket.h"
#include "net/caster_stream.h"
#include "net/tls_caster_stream.h"
#include "net/tls_options.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

struct StreamConnect {
  CasterConnect connect;  // the TCP connect, as ConnectToCaster ended
  // Once connected with TLS asked for: how the handshake ended (kEstablished without TLS).
  TlsEnd tls = TlsEnd::kEstablished;
  std::string problem;                   // a TLS step that failed, as one printable line
  std::unique_ptr<CasterStream> stream;  // the caster, when reached (connected, TLS established)

  // True when `stop` asked to give up, in the connect or in the handshake.
  bool Stopped() const { return connect.step == ConnectStep::kStopped || tls == TlsEnd::kStopped; }
};

// ConnectToCaster into `socket`, then with `tls.enabled` StartTls for `address`; the handshake
// gets what the connect left of `limitMs`. A failed step leaves the socket open, for the caller
// to close by its rules; the stream closes it when it is closed.
StreamConnect ConnectCasterStream(std::string_view address, std::int32_t port,
                                  const TlsOptions& tls, CasterSocket& socket, Clock& clock,
                                  std::uint32_t limitMs, const StopRequested& stop = {},
                                  const NameLookup& lookup = LookUpHostName);

}  // namespace quillon
