// What a caster stream costs in memory on its own, plain and over TLS, for headless_memory:
// connects to an echo peer on 127.0.0.1 and sends it a 200-byte block ten times a second,
// reading each back, then prints its peak resident memory in MB. Built like `quillon` (OpenSSL
// loaded only for TLS, the C++ library linked in), so the difference between the two figures
// is what TLS adds to a session.
//
//   stream_memory_probe PORT SECONDS [CA_FILE]   (with CA_FILE: TLS, trusting that authority)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/measure.h"
#include "net/caster_stream_connect.h"

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: stream_memory_probe PORT SECONDS [CA_FILE]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int seconds = std::atoi(argv[2]);
  TlsOptions tls;
  if (argc == 4) {
    tls.enabled = true;
    tls.caFile = argv[3];
  }
  CasterSocket socket;
  const StreamConnect connected =
      ConnectCasterStream("127.0.0.1", port, tls, socket, RealClock(), kCasterConnectLimitMs);
  if (connected.stream == nullptr) {
    std::fprintf(stderr, "stream_memory_probe: not connected: %s\n", connected.problem.c_str());
    return 1;
  }
  CasterStream& stream = *connected.stream;
  const std::string block(200, '\xD3');
  char buffer[512];
  auto next = std::chrono::steady_clock::now();
  for (int i = 0; i < seconds * 10; ++i) {
    std::this_thread::sleep_until(next);
    next += std::chrono::milliseconds(100);
    if (stream.Send(block, RealClock(), kSendStallLimitMs) != 0) return 1;
    for (std::size_t back = 0; back < block.size();) {
      if (stream.WaitReadable(RealClock(), 5000) != WaitEnd::kReady) return 1;
      const ssize_t got = stream.ReadReady(buffer);
      if (got == 0 || (got < 0 && errno != EAGAIN)) return 1;
      if (got > 0) back += static_cast<std::size_t>(got);
    }
  }
  std::printf("%.2f\n", bench::PeakResidentMegabytesOf(getpid()));
  return 0;
}
