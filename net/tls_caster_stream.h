// A caster connection over TLS: the handshake on a socket ConnectToCaster has connected, and
// the stream that reads and sends through the library afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/caster_connection.h"
#include "net/caster_socket.h"
#include "net/caster_stream.h"
#include "net/tls_options.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

enum class TlsEnd {
  kEstablished,         // `stream` is the caster
  kNoLibrary,           // OpenSSL's libssl could not be loaded
  kSetupFailed,         // the library refused a setting, or the authority file cannot be used
  kHandshakeFailed,     // the handshake failed, timed out or the caster closed meanwhile
  kCertificateRefused,  // the caster's certificate did not verify for the name
  kStopped,             // `stop` asked to give up
};

struct TlsStart {
  TlsEnd end = TlsEnd::kStopped;
  std::string problem;  // unless established or stopped: what went wrong, as one printable line
  std::unique_ptr<CasterStream> stream;
};

// Runs a TLS client handshake on the socket in `socket`, which `connect` connected to the
// caster the user called `host` (the address text as typed, a name or an address). A name is
// sent as SNI and the certificate must be issued for it; an address is checked against the
// certificate's IP addresses and sends no SNI. The certificate must chain to the system's trust
// store or to `options.caFile`, unless `options.insecure`. The handshake's waits go through
// `clock` in steps and end after `limitMs` (what is left of the connect limit) or when `stop`
// asks to give up; a shutdown of the socket from another thread ends them at once. The socket
// is left non-blocking; on failure it stays open, for the caller to close by its rules.
TlsStart StartTls(CasterSocket& socket, std::string_view host, const CasterConnect& connect,
                  const TlsOptions& options, Clock& clock, std::uint32_t limitMs,
                  const StopRequested& stop = {});

}  // namespace quillon
