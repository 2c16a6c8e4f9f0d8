// What the benchmark programs measure about themselves: CPU time of a named thread or of the
// process, and the peak resident memory.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace quillon::bench {

// The CPU clock of the thread named `name` in this process (its /proc comm), if there is one.
std::optional<clockid_t> ThreadCpuClock(const std::string& name);

// Seconds of CPU time on `clock` (a thread's clock or CLOCK_PROCESS_CPUTIME_ID).
double CpuSeconds(clockid_t clock);
// The CPU seconds of this process's threads whose names begin with `prefix`, summed.
double ThreadsCpuSeconds(const std::string& prefix);

// Peak resident memory of this process in MB.
double PeakResidentMegabytes();

// Peak resident memory in MB of the running process `pid` since it started its program (its
// VmHWM). Unlike wait4's figure, this holds nothing of the process it was spawned from, which
// the child's figure takes on at exec. Negative when it cannot be read.
double PeakResidentMegabytesOf(pid_t pid);

// The memory of the running process `pid` in kB: its peak resident set since it started its
// program (VmHWM), and now its resident set, its proportional share of it (each shared page
// divided among the processes that map it) and the pages it has written that no other process
// maps (private dirty: heap, stacks, written data). Negative figures could not be read.
struct MemoryFigures {
  long peakResident = -1;
  long resident = -1;
  long proportional = -1;
  long privateDirty = -1;
};
MemoryFigures MemoryFiguresOf(pid_t pid);

// Starts the program `words[0]` with the arguments that follow and its standard output (and,
// with `errorsToo`, its standard error) thrown away; -1 when it cannot be started.
pid_t StartQuietly(std::vector<std::string> words, bool errorsToo = false);

// The CPU seconds (user and system) the running process `pid` has used; negative when they
// cannot be read.
double ProcessCpuSeconds(pid_t pid);

// Runs the program `words[0]` with the arguments that follow to its end and returns what it
// wrote to its standard output; `status` gets its wait status (-1 when it could not be run).
std::string RunForOutput(std::vector<std::string> words, int& status);

}  // namespace quillon::bench
