// What a command-line session works with: the real process's clock, streams, Bluetooth library
// and stop signals, or a test's stand-ins.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/session_report.h"
#include "platform/bluetooth_lib.h"
#include "platform/clock.h"
#include "platform/device_source.h"

namespace quillon::cli {

struct CommandEnvironment {
  Clock& clock;
  std::FILE* out;                                  // status lines, summaries
  std::FILE* err;                                  // messages, trace lines, usage problems
  BluetoothLib* bluetooth = nullptr;               // null: no Bluetooth library on this system
  std::optional<std::string> environmentPassword;  // QUILLON_PASSWORD
  int stopFd = -1;                                 // readable when the user asks to stop
  ReportTarget report{out};  // where and how a session is reported (a log on `out` by default)
  DeviceSource* devices = nullptr;  // the ports a message lists when a device is not there
};

// A command-line command: runs on `args` (the words after its name) in `environment` and returns
// the exit status.
using Command = int (*)(const Arguments& args, const CommandEnvironment& environment);

// Runs `command` in the process's own environment, stopped by SIGINT or SIGTERM, which are
// blocked before the command starts a thread, so that every thread it starts inherits the mask.
int RunInThisProcess(Command command, const Arguments& args);

// QUILLON_PASSWORD, when it is set.
std::optional<std::string> EnvironmentPassword();

// The process's own environment: real clock, stdout, stderr, QUILLON_PASSWORD, `stopFd`, and the
// report: a live line when standard output is a terminal, the service manager when
// NOTIFY_SOCKET names one.
CommandEnvironment ProcessEnvironment(int stopFd);

}  // namespace quillon::cli
