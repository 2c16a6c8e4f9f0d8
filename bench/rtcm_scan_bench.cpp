// What watching a stream costs the relay: the RTCM 3 scanner's speed on a base's realistic
// frames, on random bytes (a wrong baud rate), and on floods of false preambles, fed in 4 KB
// blocks as the relay reads them. Prints MB/s and ns per byte for each, from the CPU time the
// scanning thread used, so that other work on the machine does not count.
//
//   rtcm_scan_bench [MB]     (default 100 MB of each)
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/measure.h"
#include "rtcm/framer.h"
#include "rtcm/rtcm_scanner.h"

namespace quillon {
namespace {

constexpr std::size_t kBlock = 4096;
constexpr std::size_t kPattern = 8 << 20;  // scanned again and again up to the size asked for

class Random {
 public:
  char Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<char>(state_);
  }

 private:
  std::uint32_t state_ = 2463534242u;
};

std::string Message(unsigned number, std::size_t length, Random& random) {
  std::string payload = {static_cast<char>(number >> 4), static_cast<char>((number & 0x0F) << 4),
                         static_cast<char>(0xD1)};  // station 2001
  while (payload.size() < length) payload.push_back(random.Next());
  return RtcmFrame(payload);
}

// A base's epochs: MSM7 of four systems with their usual sizes, the GLONASS biases, and the
// station messages every tenth epoch.
std::string BaseStream() {
  Random random;
  std::string stream;
  for (unsigned epoch = 0; stream.size() < kPattern; ++epoch) {
    stream += Message(1077, 420, random) + Message(1087, 330, random) + Message(1097, 380, random) +
              Message(1127, 450, random) + Message(1230, 8, random);
    if (epoch % 10 == 0) stream += Message(1005, 19, random) + Message(1033, 60, random);
  }
  return stream;
}

std::string RandomBytes() {
  Random random;
  std::string bytes;
  while (bytes.size() < kPattern) bytes.push_back(random.Next());
  return bytes;
}

std::string Repeated(std::string_view unit) {
  std::string bytes;
  while (bytes.size() < kPattern) bytes += unit;
  return bytes;
}

void Measure(const char* label, const std::string& pattern, std::size_t total) {
  RtcmScanner scanner;
  const double start = bench::CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  std::size_t scanned = 0;
  std::uint32_t tick = 0;
  while (scanned < total) {
    for (std::size_t at = 0; at < pattern.size() && scanned < total; at += kBlock) {
      const std::string_view block = std::string_view(pattern).substr(at, kBlock);
      scanner.Scan(block, tick += 10);
      scanned += block.size();
    }
  }
  const double seconds = bench::CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
  const RtcmSummary summary = scanner.Summary(tick);
  std::printf("%-34s %8.1f MB/s %7.2f ns/byte  (%llu frames, %llu CRC failures)\n", label,
              static_cast<double>(scanned) / 1e6 / seconds,
              seconds * 1e9 / static_cast<double>(scanned),
              static_cast<unsigned long long>(summary.frames),
              static_cast<unsigned long long>(summary.crcFailures));
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100;
  if (megabytes <= 0 || megabytes > 100'000) {
    std::fprintf(stderr, "usage: rtcm_scan_bench [MB]\n");
    return 2;
  }
  const auto total = static_cast<std::size_t>(megabytes) * 1'000'000;
  using quillon::Measure;
  using quillon::Repeated;
  Measure("base stream (MSM7, 1005, 1033)", quillon::BaseStream(), total);
  Measure("random bytes", quillon::RandomBytes(), total);
  Measure("0xD3 only", Repeated("\xD3"), total);
  Measure("D3 03 FF (1023-byte claims)", Repeated("\xD3\x03\xFF"), total);
  Measure("D3 00 00 (empty-frame claims)", Repeated(std::string_view("\xD3\x00\x00", 3)), total);
  return 0;
}
