// Peak resident memory of the real `quillon rover` executable while it relays a 10 Hz
// correction stream from the demo caster to a receiver on a pty. The caster and the receiver run
// in this process, so the figure is the executable's own.
//
//   headless_memory [QUILLON] [--seconds N]   (default: the quillon built with this program, 20 s)
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/measure.h"
#include "ntrip/demo_caster.h"
#include "ntrip/simulated_receiver.h"

namespace quillon {
namespace {

constexpr int kBlocksPerSecond = 10;
constexpr std::size_t kBlockBytes = 200;

struct Options {
  std::string executable = QUILLON_EXECUTABLE;
  int seconds = 20;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--seconds" && i + 1 < argc) {
      options.seconds = std::atoi(argv[++i]);
      if (options.seconds < 1 || options.seconds > 3600) return false;
    } else if (!word.starts_with("-")) {
      options.executable = word;
    } else {
      return false;
    }
  }
  return true;
}

// Starts `quillon rover` with its standard output thrown away; -1 when it cannot be started.
pid_t StartRover(const Options& options, const DemoCaster& caster,
                 const SimulatedReceiver& receiver, const std::filesystem::path& folder) {
  std::ofstream(folder / "password") << "demo\n";
  std::vector<std::string> words = {
      options.executable, "rover",
      "--caster",         "127.0.0.1:" + std::to_string(caster.Port()),
      "--mount",          "DEMO",
      "--user",           "demo",
      "--password-file",  (folder / "password").string(),
      "--device",         receiver.DevicePath(),
      "--settings-dir",   folder.string()};
  return bench::StartQuietly(std::move(words));
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::setlocale(LC_ALL, "");
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: headless_memory [QUILLON] [--seconds 1..3600]\n");
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "quillon-mem-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path folder = pattern;

  DemoCaster caster;
  SimulatedReceiver receiver(RealClock());
  const pid_t pid = StartRover(options, caster, receiver, folder);
  int exitStatus = -1;
  rusage usage{};
  std::size_t relayed = 0;
  if (pid > 0) {
    if (caster.WaitForLoggedInClients(1, std::chrono::seconds(10))) {
      const std::string block(kBlockBytes, '\xD3');
      auto next = std::chrono::steady_clock::now();
      for (int i = 0; i < options.seconds * kBlocksPerSecond; ++i) {
        std::this_thread::sleep_until(next);
        next += std::chrono::milliseconds(1000 / kBlocksPerSecond);
        caster.SendToClients(block);
      }
      relayed = receiver.Received().size();
    }
    kill(pid, SIGTERM);
    wait4(pid, &exitStatus, 0, &usage);
  }
  caster.Stop();
  std::filesystem::remove_all(folder);

  if (relayed == 0) {
    std::fprintf(stderr, "%s rover relayed nothing (wait status %d)\n", options.executable.c_str(),
                 exitStatus);
    return 1;
  }
  std::printf(
      "quillon rover, %d s relaying %d Hz blocks of %zu bytes (%zu bytes reached the "
      "receiver): peak resident memory %.1f MB\n",
      options.seconds, kBlocksPerSecond, kBlockBytes, relayed,
      static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}
