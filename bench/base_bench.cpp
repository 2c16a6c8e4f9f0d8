// Base session figures on the real clock. First a receiver on a pty puts out 11520 B/s (a
// 115200-baud link kept full) for a given time, and a Base session uploads it to the demo caster.
// Prints the bytes the receiver wrote, the bytes the caster received, the loss (bytes the
// terminal could not take, as a serial driver drops them when nobody reads, plus bytes that
// never arrived), the CPU time of the Base's threads and of the process, and the peak resident
// memory.
// Then the latency from the receiver to the caster: 32-byte blocks at 10 Hz written into a pty,
// through the Base and, when it is installed, through RTKLIB's str2str as an NTRIP server, each
// to a caster on 127.0.0.1 that notes when the blocks arrive; with the CPU time per minute of the
// Base's threads and of the whole str2str process. Then the same to eight casters at once, and
// through str2str to as many as it takes (up to four).
//
//   base_bench [SECONDS]     (default 35, at least 30 for the figures that count; each part)
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/base_session.h"
#include "bench/latency.h"
#include "bench/measure.h"
#include "bench/str2str.h"
#include "common/baud.h"
#include "demo/correction_stream.h"
#include "demo/demo_caster.h"
#include "session/stop_session.h"

namespace quillon {
namespace {

using bench::Relayed;
using bench::Steady;

constexpr std::uint64_t kBytesPerSecond = 11520;

class PrintedBoxes final : public MessageSink {
 public:
  MessageAnswer Show(const Message&) override {
    std::fprintf(stderr, "the session showed a message box\n");
    return MessageAnswer::kOk;
  }
  void DismissAll() override {}
};

// The receiver's end of a pseudo-terminal, fed on a fixed schedule. What the terminal cannot
// take at once is counted as refused rather than waited for: a receiver does not wait.
class PacedReceiver {
 public:
  ~PacedReceiver() { Stop(); }

  const std::string& DevicePath() const { return pty_.DevicePath(); }

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }

  std::string Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }
  std::uint64_t Refused() const { return refused_.load(); }

 private:
  void Run() {
    CorrectionStream stream;
    const auto start = Steady::now();
    std::uint64_t produced = 0;
    while (!stop_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
      const std::uint64_t due = static_cast<std::uint64_t>(ms.count()) * kBytesPerSecond / 1000;
      const std::string bytes = stream.Next(due - produced);
      produced = due;
      const std::size_t kept = pty_.Write(bytes);
      refused_.fetch_add(bytes.size() - kept);
      std::lock_guard lock(mutex_);
      written_.append(bytes, 0, kept);
    }
  }

  bench::ReceiverPty pty_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> refused_{0};
  mutable std::mutex mutex_;
  std::string written_;
  std::thread thread_;
};

// The Base's settings for a caster on 127.0.0.1 at `port` and a receiver at `device`.
BaseSettings SettingsFor(int port, const std::string& device) {
  BaseSettings settings;
  SetDefaultSettings(settings);
  SetFieldText(settings.address, u"127.0.0.1");
  settings.port = port;
  SetFieldText(settings.password, u"demo");
  SetFieldText(settings.mountPoint, u"DEMO");
  settings.baudIndex = BaudIndexForRate(115200);
  SetFieldText(settings.comPortName, std::u16string(device.begin(), device.end()));
  return settings;
}

// A Base session to the caster at `port` on 127.0.0.1 from the receiver at `device`, and to the
// casters at `alsoPorts` beside it, on the real clock; stopped at the latest when it goes.
class Session {
 public:
  Session(int port, const std::string& device, const std::vector<int>& alsoPorts = {})
      : settings_(SettingsFor(port, device)) {
    for (const int also : alsoPorts) {
      ExtraCasterSession& extra = extras_.emplace_back();
      extra.name = std::to_string(also);
      extra.settings = SettingsFor(also, device);
    }
    status_.owner.store(&boxes_);
    BaseSessionContext context{settings_, status_, link_, RealClock(), {}};
    context.extras = &extras_;
    StartBaseSession(context);
  }
  ~Session() { Stop(); }
  void Stop() { StopSession(status_, link_, RealClock()); }
  BaseStatus& Status() { return status_; }

 private:
  PrintedBoxes boxes_;
  BaseSettings settings_;
  std::deque<ExtraCasterSession> extras_;
  BaseStatus status_;
  ComLink link_{RealClock(), nullptr};
};

// 11520 B/s for `seconds` through a Base session to the demo caster; true when every byte
// arrived, in order.
bool MeasureThroughput(int seconds) {
  DemoCaster caster;
  PacedReceiver receiver;
  if (receiver.DevicePath().empty()) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return false;
  }
  Session session(caster.Port(), receiver.DevicePath());
  // The caster answers at once; the worker reads the answer after its 4 s pause. The receiver
  // starts once the upload runs.
  if (!caster.WaitForConnections(1, std::chrono::seconds(10))) {
    std::fprintf(stderr, "no connection to the caster\n");
    return false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  if (!session.Status().StatusText().empty()) {
    std::fprintf(stderr, "the login failed\n");
    return false;
  }
  if (!bench::ThreadCpuClock("quillon-base")) {
    std::fprintf(stderr, "worker thread not found\n");
    return false;
  }

  // The worker and the receiver's reader, which sends for it.
  const double workerStart = bench::ThreadsCpuSeconds("quillon-");
  const double processStart = bench::CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto start = Steady::now();
  receiver.Start();
  std::size_t largestBacklog = 0;
  for (int second = 0; second < seconds; ++second) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::size_t written = receiver.Written().size();
    const std::size_t uploaded = caster.Uploaded().size();
    largestBacklog = std::max(largestBacklog, written > uploaded ? written - uploaded : 0);
  }
  receiver.Stop();
  const double wall = std::chrono::duration<double>(Steady::now() - start).count();
  const std::string written = receiver.Written();
  // What is still on its way gets a moment to arrive.
  caster.WaitForUploaded(written.size(), std::chrono::seconds(3));
  const double workerCpu = bench::ThreadsCpuSeconds("quillon-") - workerStart;
  const double processCpu = bench::CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
  session.Stop();
  const std::string uploaded = caster.Uploaded();

  const std::uint64_t missing =
      written.size() > uploaded.size() ? written.size() - uploaded.size() : 0;
  const std::uint64_t loss = receiver.Refused() + missing;
  std::printf("receiver at %llu B/s for %.1f s\n", static_cast<unsigned long long>(kBytesPerSecond),
              wall);
  std::printf("bytes written by the receiver   %zu\n", written.size());
  std::printf("bytes received by the caster    %zu (%s)\n", uploaded.size(),
              uploaded == written ? "identical, in order" : "DIFFERENT");
  std::printf(
      "loss                            %llu bytes (%llu refused by the terminal, %llu "
      "never arrived)\n",
      static_cast<unsigned long long>(loss), static_cast<unsigned long long>(receiver.Refused()),
      static_cast<unsigned long long>(missing));
  std::printf("largest backlog (written, not yet at the caster, sampled each second) %zu bytes\n",
              largestBacklog);
  std::printf(
      "CPU: the Base's threads %.3f s (%.2f %% of a core), whole process with caster and receiver "
      "%.3f s (%.2f %%)\n",
      workerCpu, workerCpu / wall * 100.0, processCpu, processCpu / wall * 100.0);
  std::printf("peak resident memory %.1f MB (whole process, caster and receiver included)\n",
              bench::PeakResidentMegabytes());
  return loss == 0 && uploaded == written;
}

// Writes `count` 32-byte blocks at 10 Hz into `pty` (a program relays them to each of `casters`)
// and notes when each arrives at each; `cpuSeconds` tells the relaying program's CPU time.
std::vector<Relayed> RelayBlocks(bench::ReceiverPty& pty,
                                 const std::vector<bench::TimedCaster*>& casters, int count,
                                 const std::function<double()>& cpuSeconds) {
  constexpr std::size_t kBlock = 32;
  CorrectionStream stream;
  std::string written;
  std::vector<Steady::time_point> sent;
  const double cpuStart = cpuSeconds();
  const auto start = Steady::now();
  for (auto next = start; static_cast<int>(sent.size()) < count;
       next += std::chrono::milliseconds(100)) {
    std::this_thread::sleep_until(next);
    const std::string block = stream.Next(kBlock);
    sent.push_back(Steady::now());
    if (pty.Write(block) != block.size()) break;
    written += block;
  }
  const double minutes = std::chrono::duration<double>(Steady::now() - start).count() / 60.0;
  const double cpuMsPerMinute = (cpuSeconds() - cpuStart) * 1000.0 / minutes;
  std::vector<Relayed> all;
  for (bench::TimedCaster* caster : casters) {
    Relayed& relayed = all.emplace_back();
    for (std::size_t i = 0; i < sent.size(); ++i) {
      const auto arrived = caster->WaitForBytes(kBlock * (i + 1), std::chrono::seconds(3));
      if (!arrived) break;
      relayed.latencies.push_back(bench::Ms(*arrived - sent[i]).count());
    }
    relayed.cpuMsPerMinute = cpuMsPerMinute;
    relayed.exact = caster->Received() == written;
  }
  return all;
}

// `count` casters that note when the blocks arrive, and their pointers and ports.
struct TimedCasters {
  explicit TimedCasters(int count) {
    for (int i = 0; i < count; ++i) {
      owned.push_back(std::make_unique<bench::TimedCaster>("ICY 200 OK\r\n"));
      all.push_back(owned.back().get());
      ports.push_back(owned.back()->Port());
    }
  }
  bool LoggedIn() {
    return std::all_of(all.begin(), all.end(), [](bench::TimedCaster* caster) {
      return caster->WaitForLogin(std::chrono::seconds(10));
    });
  }
  std::vector<std::unique_ptr<bench::TimedCaster>> owned;
  std::vector<bench::TimedCaster*> all;
  std::vector<int> ports;
};

// The Base uploading to `outputs` casters at once; the CPU of all its threads.
std::vector<Relayed> BaseFanOutLatency(int outputs, int count) {
  bench::ReceiverPty pty;
  TimedCasters casters(outputs);
  const std::vector<int> also(casters.ports.begin() + 1, casters.ports.end());
  Session session(casters.ports.front(), pty.DevicePath(), also);
  if (!casters.LoggedIn()) return {};
  std::this_thread::sleep_for(std::chrono::seconds(1));  // into the upload loops
  return RelayBlocks(pty, casters.all, count, [] { return bench::ThreadsCpuSeconds("quillon-"); });
}

// str2str uploading to `outputs` casters at once.
std::vector<Relayed> Str2strFanOutLatency(int outputs, int count) {
  bench::ReceiverPty pty;
  TimedCasters casters(outputs);
  std::vector<std::string> streams = {"-in", bench::Str2strSerial(pty.DevicePath(), 115200)};
  for (const int port : casters.ports) {
    streams.insert(streams.end(),
                   {"-out", "ntrips://:demo@127.0.0.1:" + std::to_string(port) + "/DEMO"});
  }
  const bench::Str2str relay(streams);
  if (!relay.Running() || !casters.LoggedIn()) return {};
  std::this_thread::sleep_for(std::chrono::seconds(1));
  return RelayBlocks(pty, casters.all, count, [&] { return relay.CpuSeconds(); });
}

void PrintFanOut(const char* label, const std::vector<Relayed>& outputs, int wanted) {
  if (outputs.empty()) {
    std::printf("%s: not measured (not installed, or a caster got no login)\n", label);
    return;
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string name = std::string(label) + " #" + std::to_string(i + 1);
    bench::PrintLatency(name.c_str(), outputs[i].latencies, wanted);
    if (!outputs[i].exact) std::printf("        the blocks did NOT arrive whole and in order\n");
  }
  std::printf("        %s: CPU %.1f ms per minute\n", label, outputs.front().cpuMsPerMinute);
}

std::optional<Relayed> BaseLatency(int count) {
  bench::ReceiverPty pty;
  bench::TimedCaster caster("ICY 200 OK\r\n");
  Session session(caster.Port(), pty.DevicePath());
  if (!caster.WaitForLogin(std::chrono::seconds(10))) return std::nullopt;
  std::this_thread::sleep_for(std::chrono::seconds(1));  // into the upload loop
  return RelayBlocks(pty, {&caster}, count, [] { return bench::ThreadsCpuSeconds("quillon-"); })[0];
}

// str2str as an NTRIP server on the same path; nothing when it is not installed or did not log
// in.
std::optional<Relayed> Str2strLatency(int count) {
  bench::ReceiverPty pty;
  bench::TimedCaster caster("ICY 200 OK\r\n");
  const bench::Str2str relay(
      {"-in", bench::Str2strSerial(pty.DevicePath(), 115200), "-out",
       "ntrips://:demo@127.0.0.1:" + std::to_string(caster.Port()) + "/DEMO"});
  if (!relay.Running() || !caster.WaitForLogin(std::chrono::seconds(10))) return std::nullopt;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  return RelayBlocks(pty, {&caster}, count, [&] { return relay.CpuSeconds(); })[0];
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::setlocale(LC_ALL, "");
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 35;
  const bool throughput = MeasureThroughput(seconds);

  const int blocks = seconds * 10;
  std::printf(
      "receiver to caster, 32-byte blocks at 10 Hz written into a pty (the CPU: the Base's "
      "threads, the whole str2str process):\n");
  const std::optional<Relayed> base = BaseLatency(blocks);
  bench::PrintRelayed("Base", base, blocks);
  bench::PrintRelayed("str2str", Str2strLatency(blocks), blocks);

  std::printf(
      "the same to several casters at once (the CPU: all the Base's threads, the whole str2str "
      "process):\n");
  const std::vector<Relayed> fanOut = BaseFanOutLatency(8, blocks);
  PrintFanOut("Base, 8 casters", fanOut, blocks);
  // str2str takes up to four outputs; Debian's build logs in to none of them when given four,
  // so three when four do not run.
  std::vector<Relayed> str2str = Str2strFanOutLatency(4, blocks);
  if (!str2str.empty()) {
    PrintFanOut("str2str, 4 casters", str2str, blocks);
  } else {
    std::printf("str2str logged in to none of 4 casters; with 3:\n");
    PrintFanOut("str2str, 3 casters", Str2strFanOutLatency(3, blocks), blocks);
  }
  const bool fanOutExact = !fanOut.empty() && std::all_of(fanOut.begin(), fanOut.end(),
                                                          [](const Relayed& r) { return r.exact; });
  return throughput && base && base->exact && fanOutExact ? 0 : 1;
}
