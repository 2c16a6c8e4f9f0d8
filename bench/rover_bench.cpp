// Rover session figures on the real clock, from the demo caster to a receiver on a pty:
// caster-to-receiver latency of 32-byte blocks sent at 1 Hz and 10 Hz (a typical correction
// stream), the worker's CPU time per minute while it relays the 10 Hz stream and while it relays
// 5 KB/s, and the process's peak resident memory. Then what TLS adds to the caster stream's
// latency: 32-byte blocks sent round an echo peer on loopback over plain TCP and over TLS.
//
//   rover_bench [--quick]     (--quick: fewer samples, for a smoke run)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/measure.h"
#include "net/caster_stream_connect.h"
#include "ntrip/demo_caster.h"
#include "ntrip/simulated_receiver.h"
#include "rover/rover_session.h"
#include "session/stop_session.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"

namespace quillon {
namespace {

using Steady = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

class NoBoxes final : public MessageSink {
 public:
  MessageAnswer Show(const Message&) override {
    std::fprintf(stderr, "the session gave up\n");
    return MessageAnswer::kOk;
  }
  void DismissAll() override {}
};

// A Rover session between `caster` and `receiver`, started and stopped as the dialog does.
class Session {
 public:
  Session(DemoCaster& caster, SimulatedReceiver& receiver, const std::filesystem::path& folder)
      : folder_(folder) {
    SetDefaultSettings(settings_);
    SetFieldText(settings_.address, u"127.0.0.1");
    settings_.port = caster.Port();
    SetFieldText(settings_.userName, u"demo");
    SetFieldText(settings_.password, u"demo");
    SetFieldText(settings_.mountPoint, u"DEMO");
    settings_.baudIndex = 6;
    const std::string& device = receiver.DevicePath();
    SetFieldText(settings_.comPortName, std::u16string(device.begin(), device.end()));
    status_.owner.store(&boxes_);
    StartRoverSession({settings_, status_, link_, RealClock(), folder_});
  }
  ~Session() { StopSession(status_, link_, RealClock()); }

 private:
  std::filesystem::path folder_;
  NoBoxes boxes_;
  RoverSettings settings_;
  RoverStatus status_;
  ComLink link_{RealClock(), nullptr};
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t at =
      std::min(values.size() - 1, static_cast<std::size_t>(p / 100.0 * values.size()));
  return values[at];
}

// Sends `count` blocks at `hertz` on a fixed schedule (a caster does not wait for its
// clients) and notes when each block has wholly reached the receiver.
std::vector<double> Latencies(DemoCaster& caster, SimulatedReceiver& receiver, int hertz,
                              int count) {
  constexpr std::size_t kBlock = 32;
  const std::string block(kBlock, '\xD3');
  const auto period = std::chrono::microseconds(1'000'000 / hertz);
  const std::size_t base = receiver.Received().size();
  std::vector<Steady::time_point> sent(static_cast<std::size_t>(count));
  std::atomic<int> sentCount{0};

  std::thread sender([&] {
    auto next = Steady::now();
    for (int i = 0; i < count; ++i) {
      std::this_thread::sleep_until(next);
      next += period;
      sent[static_cast<std::size_t>(i)] = Steady::now();
      sentCount.store(i + 1);
      if (caster.SendToClients(block) != 1) break;
    }
  });
  std::vector<double> latencies;
  for (int i = 0; i < count; ++i) {
    if (!receiver.WaitForReceived(base + kBlock * static_cast<std::size_t>(i + 1),
                                  std::chrono::seconds(5))) {
      break;
    }
    const auto arrived = Steady::now();
    if (sentCount.load() <= i) break;  // cannot happen: bytes arrive after they are sent
    latencies.push_back(Ms(arrived - sent[static_cast<std::size_t>(i)]).count());
  }
  sender.join();
  return latencies;
}

void PrintLatency(const char* label, const std::vector<double>& values, int wanted) {
  std::printf("latency %-6s blocks %3zu/%-3d  p50 %6.1f ms  p99 %6.1f ms  max %6.1f ms\n", label,
              values.size(), wanted, Percentile(values, 50), Percentile(values, 99),
              values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()));
}

// Times `count` rounds of a 32-byte block through a caster stream to an echo peer and back,
// one round every 10 ms, behind one round that is not counted: over TLS it meets the peer's
// session tickets, which leave its echo waiting for a delayed ACK (about 40 ms). Over TLS when
// `identity` holds a certificate (from `caFile`'s authority). Empty when the stream could not
// be had.
std::vector<double> StreamRounds(const testing::KeyAndCertificate& identity,
                                 const std::string& caFile, int count) {
  testing::TlsTestPeer echo({identity, testing::PeerBehaviour::kEcho});
  TlsOptions tls;
  tls.enabled = !identity.certificate.empty();
  tls.caFile = caFile;
  CasterSocket socket;
  const StreamConnect connected = ConnectCasterStream("127.0.0.1", echo.Port(), tls, socket,
                                                      RealClock(), kCasterConnectLimitMs);
  std::vector<double> rounds;
  if (connected.stream == nullptr) {
    std::fprintf(stderr, "no stream: %s\n", connected.problem.c_str());
    return rounds;
  }
  CasterStream& stream = *connected.stream;
  const std::string block(32, '\xD3');
  std::array<char, 64> buffer;
  for (int i = -1; i < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto sent = Steady::now();
    if (stream.Send(block, RealClock(), kSendStallLimitMs) != 0) break;
    std::size_t back = 0;
    while (back < block.size() && stream.WaitReadable(RealClock(), 5000) == WaitEnd::kReady) {
      const ssize_t got = stream.ReadReady(buffer);
      if (got == 0 || (got < 0 && errno != EAGAIN)) break;
      if (got > 0) back += static_cast<std::size_t>(got);
    }
    if (back != block.size()) break;
    if (i >= 0) rounds.push_back(Ms(Steady::now() - sent).count());
  }
  return rounds;
}

// CPU time of the worker thread over a stretch of real time.
class WorkerCpu {
 public:
  bool Start() {
    worker_ = bench::ThreadCpuClock("quillon-rover");
    if (!worker_) {
      std::fprintf(stderr, "worker thread not found\n");
      return false;
    }
    cpu_ = bench::CpuSeconds(*worker_);
    start_ = Steady::now();
    return true;
  }
  double WallSeconds() const {
    return std::chrono::duration<double>(Steady::now() - start_).count();
  }
  double MsPerMinute() const {
    return (bench::CpuSeconds(*worker_) - cpu_) / WallSeconds() * 60000.0;
  }

 private:
  std::optional<clockid_t> worker_;
  double cpu_ = 0.0;
  Steady::time_point start_;
};

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::setlocale(LC_ALL, "");
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int slowBlocks = quick ? 5 : 30;
  const int fastBlocks = quick ? 50 : 300;
  const int cpuSeconds = quick ? 5 : 30;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();

  {
    DemoCaster caster;
    SimulatedReceiver receiver(RealClock());
    Session session(caster, receiver, folder);
    if (!caster.WaitForLoggedInClients(1, std::chrono::seconds(10))) {
      std::fprintf(stderr, "no session\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // into the relay loop
    PrintLatency("1 Hz", Latencies(caster, receiver, 1, slowBlocks), slowBlocks);
    WorkerCpu cpu;
    if (!cpu.Start()) return 1;
    PrintLatency("10 Hz", Latencies(caster, receiver, 10, fastBlocks), fastBlocks);
    std::printf("relaying 32-byte blocks at 10 Hz: worker CPU %.1f ms per minute\n",
                cpu.MsPerMinute());
  }
  {
    DemoCasterConfig config;
    config.streamBytesPerSecond = 5000;
    DemoCaster caster(config);
    SimulatedReceiver receiver(RealClock());
    Session session(caster, receiver, folder);
    if (!caster.WaitForLoggedInClients(1, std::chrono::seconds(10))) return 1;
    WorkerCpu cpu;
    if (!cpu.Start()) return 1;
    const std::size_t before = receiver.Received().size();
    const double processStart = bench::CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::this_thread::sleep_for(std::chrono::seconds(cpuSeconds));
    const double wall = cpu.WallSeconds();
    const double processCpu = bench::CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    const double relayed = static_cast<double>(receiver.Received().size() - before);
    std::printf(
        "relaying %.0f B/s for %.0f s: worker CPU %.1f ms per minute; "
        "whole process with caster and receiver %.1f ms per minute\n",
        relayed / wall, wall, cpu.MsPerMinute(), processCpu / wall * 60000.0);
  }
  std::printf("peak resident memory %.1f MB (whole process, caster and receiver included)\n",
              bench::PeakResidentMegabytes());

  // The Rover worker does not read through the caster stream yet, so TLS is measured on the
  // stream itself.
  const int rounds = quick ? 100 : 1000;
  const testing::TestCertificates certificates = testing::MakeTestCertificates();
  const std::string caFile =
      (folder / ("quillon-bench-authority-" + std::to_string(getpid()) + ".pem")).string();
  testing::WritePem(caFile, certificates.authority);
  PrintLatency("plain", StreamRounds({}, "", rounds), rounds);
  PrintLatency("TLS", StreamRounds(certificates.localhost, caFile, rounds), rounds);
  std::filesystem::remove(caFile);
  std::printf(
      "(the last two: a 32-byte block through the caster stream to an echo peer on "
      "loopback and back, a round every 10 ms)\n");
  return 0;
}
