// How a caster connection uses TLS, as the front ends set it, and what they say about it.
#pragma once

#include <string>
#include <string_view>

#include "common/caster_protocol.h"

namespace quillon {

// OpenSSL's libssl as the system's loader knows it (libcrypto comes with it), of the major
// version the program was built against ("libssl.so.3"). It is loaded at the first TLS
// connection only: a plain session never maps it.
extern const char kOpenSslLibrary[];

struct TlsOptions {
  bool enabled = false;  // false: plain TCP, and nothing else here is used
  // A PEM file of further authorities to trust besides the system's (a private caster's own);
  // empty: the system's trust store alone.
  std::string caFile;
  // Accept any certificate, for any name: the connection is encrypted but not authenticated.
  bool insecure = false;
  // The library to load; only the tests change it.
  std::string library = kOpenSslLibrary;
};

// The TLS a caster saved with `protocol` is spoken to with; `insecure` is the session's own
// choice, never saved.
TlsOptions TlsFor(const CasterProtocol& protocol, bool insecure);

// What a front end says on every start of a session or command with `options`, as one line
// (without the program's prefix); empty when there is nothing to warn about.
std::string_view TlsWarning(const TlsOptions& options);

}  // namespace quillon
