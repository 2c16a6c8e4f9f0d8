// `quillon base`: one Base session without windows, as pressing Connect in the Base dialog.
#pragma once

#include <string>

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"
#include "base/base_status.h"

namespace quillon::cli {

// What the Base is doing: waiting to retry while there is a status text (failure, countdown),
// connected once the caster has accepted the login (the receiver lost while its link is being
// opened again), connecting otherwise.
SessionState BaseSessionState(BaseStatus& status);

// BaseStatusLine, preceded by a failed attempt's detail on a line of its own the first time
// that detail is seen; `shown` keeps the detail seen last.
std::string BaseStatusLines(BaseStatus& status, const SessionSnapshot& counters,
                            std::u16string& shown);

// Loads "sourceinfo.bin", applies the options, saves it, checks address, port name and port
// with the dialog's messages, and runs the session until stopped, reporting the counters while
// the upload runs, or the status text (failure and retry countdown) while there is one. Returns 0 after a stop, 1 when the settings were refused or the session gave up
// (the final message on `err`), 2 for options it cannot use.
int RunBaseCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
