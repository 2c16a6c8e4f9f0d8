// `quillon demo`: a real Rover session between an in-process caster and a simulated receiver.
#pragma once

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"

namespace quillon::cli {

inline constexpr int kDefaultDemoSeconds = 10;
inline constexpr int kMaxDemoSeconds = 86400;

// Runs the demo for --seconds N (1 to kMaxDemoSeconds, default kDefaultDemoSeconds), printing the
// status lines and a summary: bytes relayed, whether every byte arrived unchanged, GGA sentences
// forwarded. 0 when the relay was faithful, 1 otherwise, 2 for options it cannot use.
[[gnu::cold]] int RunDemoCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
