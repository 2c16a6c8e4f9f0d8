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

// Loads "ntripinfo.bin", applies the options, saves it, checks address, port name and port
// with the dialog's messages, runs and reports the session until stopped (with --reconnect,
// reconnecting after every failure).
// Returns 0 after a stop, 1 when the settings were refused or the session gave up, 2 for
// options it cannot use.
int RunRoverCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
