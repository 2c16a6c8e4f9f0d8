// The password file's first line, read with a bound: a pipe that nobody writes to (a named pipe
// left alone, a `<(command)` that never prints) is refused after a few seconds instead of
// holding the program for good, and a stop asked for meanwhile is answered at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace quillon::cli {

// The most a password file may hold before its first line ends: far more than a password
// takes, so a longer line is refused as too long, and /dev/zero is never read on and on.
inline constexpr std::size_t kPasswordFileReadMax = 256;

// How long a pipe's writer has to send the line: a systemd credential or a `<(pass show x)`
// whose key the agent holds answers at once.
inline constexpr std::uint32_t kPasswordFileWaitMs = 5000;

// What reading the password file waits on: the clock its bound is counted on, and the
// descriptor that becomes readable when the user asks to stop (-1: none).
struct PasswordFileWait {
  Clock& clock;
  int stopFd = -1;
};

enum class PasswordFileRead {
  kRead,
  kRefused,    // `error` says why, in one line for the user
  kStopAsked,  // the stop descriptor became readable first
};

// The first line of the file at `path`, without its line end, into `password`. Only a regular
// file or a pipe is read, and only up to kPasswordFileReadMax bytes. The file is opened without
// waiting for a writer; the line must have come within kPasswordFileWaitMs of the clock.
PasswordFileRead ReadPasswordFile(const std::string& path, const PasswordFileWait& wait,
                                  std::string& password, std::string& error);

}  // namespace quillon::cli
