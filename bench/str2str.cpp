#include "bench/str2str.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "bench/measure.h"

namespace quillon::bench {
namespace {

// Where str2str is on the PATH; empty when it is not.
std::string FindStr2str() {
  const char* path = std::getenv("PATH");
  for (std::string_view rest = path != nullptr ? path : ""; !rest.empty();) {
    const std::string folder(rest.substr(0, rest.find(':')));
    rest.remove_prefix(std::min(rest.size(), folder.size() + 1));
    const std::string program = folder + "/str2str";
    if (access(program.c_str(), X_OK) == 0) return program;
  }
  return {};
}

}  // namespace

std::string Str2strSerial(const std::string& devicePath, int baud) {
  constexpr std::string_view kDevices = "/dev/";
  const std::string_view device = std::string_view(devicePath).starts_with(kDevices)
                                      ? std::string_view(devicePath).substr(kDevices.size())
                                      : std::string_view(devicePath);
  return "serial://" + std::string(device) + ":" + std::to_string(baud);
}

Str2str::Str2str(std::vector<std::string> streams) {
  const std::string program = FindStr2str();
  if (program.empty()) return;
  streams.insert(streams.begin(), program);
  pid_ = StartQuietly(std::move(streams), true);
}

Str2str::~Str2str() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

double Str2str::CpuSeconds() const { return ProcessCpuSeconds(pid_); }

}  // namespace quillon::bench
