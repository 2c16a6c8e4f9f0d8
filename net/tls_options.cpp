#include "net/tls_options.h"

namespace quillon {

TlsOptions TlsFor(const CasterProtocol& protocol, bool insecure) {
  TlsOptions options;
  options.enabled = protocol.tls;
  options.caFile = protocol.caFile;
  options.insecure = insecure;
  return options;
}

std::string_view TlsWarning(const TlsOptions& options) {
  if (!options.enabled || !options.insecure) return {};
  return "TLS certificate checks are off: anyone on the way to the caster can pose as it, read "
         "the password and change the corrections.";
}

}  // namespace quillon
