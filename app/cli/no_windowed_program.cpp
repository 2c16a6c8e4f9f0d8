// A build without the windows: `quillon` without a command prints the usage.
#include "app/cli/commands.h"
#include "app/windowed.h"

namespace quillon {

int RunWindowedProgram(int /*argc*/, char** /*argv*/) {
  cli::PrintUsage();
  return 0;
}

}  // namespace quillon
