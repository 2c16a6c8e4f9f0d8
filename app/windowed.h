// The windowed program, started when `quillon` is run without a command.
#pragma once

namespace quillon {

// Runs the windowed program and returns its exit status. A build without the windows prints
// the usage instead.
int RunWindowedProgram(int argc, char** argv);

}  // namespace quillon
