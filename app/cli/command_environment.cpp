#include "app/cli/command_environment.h"

#include <cstdlib>

namespace quillon::cli {

CommandEnvironment ProcessEnvironment(int stopFd) {
  std::optional<std::string> password;
  if (const char* value = std::getenv("QUILLON_PASSWORD")) password = value;
  return CommandEnvironment{RealClock(), stdout, stderr, nullptr, password, stopFd};
}

}  // namespace quillon::cli
