// `quillon rover`: one Rover session without windows, as pressing Connect in the Rover dialog.
#pragma once

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"
#include "app/cli/session_report.h"
#include "rover/rover_status.h"

namespace quillon::cli {

// What the Rover is doing: waiting to reconnect while a countdown runs (its reason on the line,
// what really happened as the detail), connected once the caster has accepted the login,
// connecting otherwise.
SessionState RoverSessionState(RoverStatus& status);

// RunModeCommand for the Rover ("ntripinfo.bin"); with --reconnect it reconnects after every
// failure.
int RunRoverCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
