// The windowed program: the main() of quillon-gui.
#pragma once

namespace quillon {

// Runs the windowed program and returns its exit status.
int RunWindowedProgram(int argc, char** argv);

}  // namespace quillon
