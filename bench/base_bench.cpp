// Base session figures on the real clock: a receiver on a pty puts out 11520 B/s (a 115200-baud
// link kept full) for a given time, and a Base session uploads it to the demo caster. Prints the
// bytes the receiver wrote, the bytes the caster received, the loss (bytes the terminal could
// not take, as a serial driver drops them when nobody reads, plus bytes that never arrived), the
// worker's and the process's CPU time, and the peak resident memory.
//
//   base_bench [SECONDS]     (default 35, at least 30 for the figures that count)
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "base/base_session.h"
#include "bench/measure.h"
#include "common/baud.h"
#include "ntrip/correction_stream.h"
#include "ntrip/demo_caster.h"
#include "session/stop_session.h"

namespace quillon {
namespace {

using Steady = std::chrono::steady_clock;

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
  PacedReceiver() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
        ptsname_r(master_, name, sizeof name) == 0) {
      path_ = name;
    }
  }
  ~PacedReceiver() {
    Stop();
    if (master_ >= 0) close(master_);
  }

  const std::string& DevicePath() const { return path_; }

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
      const ssize_t taken = write(master_, bytes.data(), bytes.size());
      const std::size_t kept = taken > 0 ? static_cast<std::size_t>(taken) : 0;
      refused_.fetch_add(bytes.size() - kept);
      std::lock_guard lock(mutex_);
      written_.append(bytes, 0, kept);
    }
  }

  int master_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> refused_{0};
  mutable std::mutex mutex_;
  std::string written_;
  std::thread thread_;
};

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::setlocale(LC_ALL, "");
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 35;

  DemoCaster caster;
  PacedReceiver receiver;
  if (receiver.DevicePath().empty()) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return 1;
  }
  BaseSettings settings;
  SetDefaultSettings(settings);
  SetFieldText(settings.address, u"127.0.0.1");
  settings.port = caster.Port();
  SetFieldText(settings.password, u"demo");
  SetFieldText(settings.mountPoint, u"DEMO");
  settings.baudIndex = BaudIndexForRate(115200);
  const std::string& device = receiver.DevicePath();
  SetFieldText(settings.comPortName, std::u16string(device.begin(), device.end()));

  PrintedBoxes boxes;
  BaseStatus status;
  status.owner.store(&boxes);
  ComLink link(RealClock(), nullptr);
  StartBaseSession({settings, status, link, RealClock(), {}});
  // The caster answers at once; the worker reads the answer after its 4 s pause. The receiver
  // starts once the upload runs.
  if (!caster.WaitForConnections(1, std::chrono::seconds(10))) {
    std::fprintf(stderr, "no connection to the caster\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  if (!status.StatusText().empty()) {
    std::fprintf(stderr, "the login failed\n");
    return 1;
  }
  const auto worker = bench::ThreadCpuClock("quillon-base");
  if (!worker) {
    std::fprintf(stderr, "worker thread not found\n");
    return 1;
  }

  const double workerStart = bench::CpuSeconds(*worker);
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
  const double workerCpu = bench::CpuSeconds(*worker) - workerStart;
  const double processCpu = bench::CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
  StopSession(status, link, RealClock());
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
      "CPU: worker %.3f s (%.2f %% of a core), whole process with caster and receiver "
      "%.3f s (%.2f %%)\n",
      workerCpu, workerCpu / wall * 100.0, processCpu, processCpu / wall * 100.0);
  std::printf("peak resident memory %.1f MB (whole process, caster and receiver included)\n",
              bench::PeakResidentMegabytes());
  return loss == 0 && uploaded == written ? 0 : 1;
}
