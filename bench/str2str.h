// RTKLIB's str2str, run by the benchmarks on the same path as a session so that their figures can
// be set side by side. It is found on the PATH (Debian's rtklib package); without it the
// benchmarks print their own figures alone.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillon::bench {

// str2str's name for the serial device at `devicePath` (a path below /dev, such as a pty's
// "/dev/pts/5") at `baud`: "serial://pts/5:115200".
std::string Str2strSerial(const std::string& devicePath, int baud);

// One str2str process with `streams` as its arguments ("-in", URL, "-out", URL), its output
// thrown away. It is ended (SIGTERM) and waited for when this goes.
class Str2str {
 public:
  explicit Str2str(std::vector<std::string> streams);
  ~Str2str();
  Str2str(const Str2str&) = delete;
  Str2str& operator=(const Str2str&) = delete;

  // False when str2str is not installed or could not be started.
  bool Running() const { return pid_ > 0; }
  // The CPU seconds (user and system) the whole process has used so far.
  double CpuSeconds() const;
  // Its process id (not positive when it is not running).
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

}  // namespace quillon::bench
