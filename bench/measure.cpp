#include "bench/measure.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string_view>

extern char** environ;

namespace quillon::bench {

namespace {

// The CPU clocks of this process's threads whose names `wanted` accepts.
std::vector<clockid_t> ThreadCpuClocks(const std::function<bool(const std::string&)>& wanted) {
  std::vector<clockid_t> found;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return found;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string thread;
    std::getline(comm, thread);
    if (wanted(thread)) {
      // The per-thread CPU clock of a thread id, as pthread_getcpuclockid builds it.
      const pid_t tid = static_cast<pid_t>(std::stoi(entry->d_name));
      found.push_back(static_cast<clockid_t>((~static_cast<clockid_t>(tid) << 3) | 6));
    }
  }
  closedir(tasks);
  return found;
}

}  // namespace

std::optional<clockid_t> ThreadCpuClock(const std::string& name) {
  const std::vector<clockid_t> found =
      ThreadCpuClocks([&](const std::string& thread) { return thread == name; });
  if (found.empty()) return std::nullopt;
  return found.back();
}

double ThreadsCpuSeconds(const std::string& prefix) {
  double seconds = 0;
  for (const clockid_t clock :
       ThreadCpuClocks([&](const std::string& thread) { return thread.starts_with(prefix); })) {
    seconds += CpuSeconds(clock);
  }
  return seconds;
}

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

namespace {

// The figure of the "NAME: N kB" line in the /proc file `file` of the process `pid`; negative
// when it has none.
long KilobytesField(pid_t pid, const char* file, std::string_view name) {
  std::ifstream fields("/proc/" + std::to_string(pid) + "/" + file);
  for (std::string line; std::getline(fields, line);) {
    if (line.size() > name.size() && line.starts_with(name) && line[name.size()] == ':') {
      return std::stol(line.substr(name.size() + 1));
    }
  }
  return -1;
}

}  // namespace

double PeakResidentMegabytesOf(pid_t pid) {
  const long peak = KilobytesField(pid, "status", "VmHWM");
  return peak < 0 ? -1.0 : static_cast<double>(peak) / 1024.0;
}

MemoryFigures MemoryFiguresOf(pid_t pid) {
  MemoryFigures figures;
  figures.peakResident = KilobytesField(pid, "status", "VmHWM");
  figures.resident = KilobytesField(pid, "smaps_rollup", "Rss");
  figures.proportional = KilobytesField(pid, "smaps_rollup", "Pss");
  figures.privateDirty = KilobytesField(pid, "smaps_rollup", "Private_Dirty");
  return figures;
}

double ProcessCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // Fields 14 and 15 (user and system time in clock ticks) follow the name, which is in
  // parentheses and may hold spaces.
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string::npos) return -1.0;
  std::istringstream fields(line.substr(nameEnd + 2));
  std::string skipped;
  for (int field = 3; field < 14; ++field) fields >> skipped;
  unsigned long long user = 0, system = 0;
  if (!(fields >> user >> system)) return -1.0;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

namespace {

// Starts `words` with its standard output (and, with `errorsToo`, its standard error) sent to
// `fd`; -1 when it cannot be started.
pid_t StartWithOutput(std::vector<std::string>& words, int fd, bool errorsToo = false) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
  if (errorsToo) posix_spawn_file_actions_adddup2(&actions, fd, STDERR_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

}  // namespace

pid_t StartQuietly(std::vector<std::string> words, bool errorsToo) {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t pid = StartWithOutput(words, null, errorsToo);
  if (null >= 0) close(null);
  return pid;
}

std::string RunForOutput(std::vector<std::string> words, int& status) {
  status = -1;
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
  const pid_t pid = StartWithOutput(words, pipeEnds[1]);
  close(pipeEnds[1]);
  std::string output;
  char buffer[256];
  ssize_t got;
  while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipeEnds[0]);
  if (pid > 0) waitpid(pid, &status, 0);
  return output;
}

}  // namespace quillon::bench
