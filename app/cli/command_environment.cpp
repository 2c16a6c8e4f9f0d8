#include "app/cli/command_environment.h"

#include <unistd.h>

#include <cstdlib>

#include "app/cli/stop_signals.h"
#include "platform/bluez_bluetooth_lib.h"
#include "platform/udev_device_source.h"

namespace quillon::cli {

std::optional<std::string> EnvironmentPassword() {
  if (const char* value = std::getenv("QUILLON_PASSWORD")) return std::string(value);
  return std::nullopt;
}

int RunInThisProcess(Command command, const Arguments& args) {
  const StopSignals signals;
  return command(args, ProcessEnvironment(signals.Fd()));
}

CommandEnvironment ProcessEnvironment(int stopFd) {
  // One library for the process, as the windowed program has: its device list is kept in the
  // settings folder.
  static const auto bluetooth = MakeSystemBluetoothLib();
  const char* socket = std::getenv("NOTIFY_SOCKET");
  static const auto notifier = MakeServiceNotifier(socket == nullptr ? "" : socket);
  static const auto devices = MakeUdevDeviceSource();
  const ReportTarget report{
      stdout, isatty(STDOUT_FILENO) == 1, notifier.get(),
      WatchdogIntervalMs(std::getenv("WATCHDOG_USEC"), std::getenv("WATCHDOG_PID"), getpid())};
  return CommandEnvironment{RealClock(),           stdout, stderr, bluetooth.get(),
                            EnvironmentPassword(), stopFd, report, devices.get()};
}

}  // namespace quillon::cli
