#include "platform/device_holders.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <memory>

#include "common/printable_text.h"

namespace quillon {
namespace {

// Enough for every process of a busy machine, and the few descriptors each holds, while a
// process with a million descriptors cannot stall the message that asked.
constexpr std::size_t kMaxProcesses = 65536;
constexpr std::size_t kMaxDescriptorLinks = 200'000;
// /proc/PID/comm holds at most 15 bytes and a line feed.
constexpr std::size_t kCommandNameSize = 64;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// The decimal number that is the whole of `text`, or 0.
pid_t NumberName(std::string_view text) {
  pid_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

// The path a descriptor link of /proc must name: the device with its links resolved.
std::string Resolved(const std::string& device) {
  std::array<char, PATH_MAX> resolved{};
  return realpath(device.c_str(), resolved.data()) != nullptr ? std::string(resolved.data())
                                                              : device;
}

std::string CommandName(int procFd, pid_t pid) {
  const std::string file = std::to_string(pid) + "/comm";
  const int fd = openat(procFd, file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "?";
  std::array<char, kCommandNameSize> bytes{};
  const ssize_t count = read(fd, bytes.data(), bytes.size());
  close(fd);
  std::string_view name(bytes.data(), count > 0 ? static_cast<std::size_t>(count) : 0);
  if (name.ends_with('\n')) name.remove_suffix(1);
  return PrintableText(name);
}

// Whether process `pid` has a descriptor linked to `target`; `budget` counts the links read.
bool Holds(int procFd, pid_t pid, const std::string& target, std::size_t& budget) {
  const std::string folder = std::to_string(pid) + "/fd";
  const int fdFolder = openat(procFd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fdFolder < 0) return false;  // gone, or another user's
  Dir entries(fdopendir(fdFolder));
  if (!entries) {
    close(fdFolder);
    return false;
  }
  std::array<char, PATH_MAX> link{};
  while (budget > 0) {
    const dirent* entry = readdir(entries.get());
    if (entry == nullptr) break;
    if (entry->d_name[0] == '.') continue;
    --budget;
    const ssize_t length =
        readlinkat(dirfd(entries.get()), entry->d_name, link.data(), link.size());
    if (length > 0 && std::string_view(link.data(), static_cast<std::size_t>(length)) == target) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<DeviceHolder> FindDeviceHolders(const std::string& device, std::size_t limit) {
  std::vector<DeviceHolder> holders;
  const std::string target = Resolved(device);
  if (target.empty() || limit == 0) return holders;
  const int procFd = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (procFd < 0) return holders;
  Dir processes(fdopendir(procFd));
  if (!processes) {
    close(procFd);
    return holders;
  }
  std::size_t budget = kMaxDescriptorLinks;
  for (std::size_t seen = 0; seen < kMaxProcesses && budget > 0 && holders.size() < limit;) {
    const dirent* entry = readdir(processes.get());
    if (entry == nullptr) break;
    const pid_t pid = NumberName(entry->d_name);
    if (pid == 0) continue;
    ++seen;
    if (Holds(procFd, pid, target, budget)) {
      holders.push_back({pid, CommandName(procFd, pid)});
    }
  }
  return holders;
}

}  // namespace quillon
