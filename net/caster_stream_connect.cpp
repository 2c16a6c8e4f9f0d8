#include "net/caster_stream_connect.h"

namespace quillon {

StreamConnect ConnectCasterStream(std::string_view address, std::int32_t port,
                                  const TlsOptions& tls, CasterSocket& socket, Clock& clock,
                                  std::uint32_t limitMs, const StopRequested& stop,
                                  const NameLookup& lookup) {
  StreamConnect result;
  result.connect = ConnectToCaster(address, port, socket, clock, limitMs, stop, lookup);
  if (result.connect.step != ConnectStep::kConnected) return result;
  if (!tls.enabled) {
    result.stream = std::make_unique<PlainCasterStream>(socket);
    return result;
  }
  TlsStart start = StartTls(socket, address, result.connect, tls, clock,
                            TimeLeft(clock, result.connect.connectStart, limitMs), stop);
  result.tls = start.end;
  result.problem = std::move(start.problem);
  result.stream = std::move(start.stream);
  return result;
}

}  // namespace quillon
