#include "app/cli/command_environment.h"

#include <cstdlib>

#include "platform/bluez_bluetooth_lib.h"

namespace quillon::cli {

CommandEnvironment ProcessEnvironment(int stopFd) {
  std::optional<std::string> password;
  if (const char* value = std::getenv("QUILLON_PASSWORD")) password = value;
  // One library for the process, as the windowed program has: its device list is kept in the
  // settings folder.
  static const auto bluetooth = MakeSystemBluetoothLib();
  return CommandEnvironment{RealClock(), stdout, stderr, bluetooth.get(), password, stopFd};
}

}  // namespace quillon::cli
