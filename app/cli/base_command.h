// `quillon base`: one Base session without windows, as pressing Connect in the Base dialog.
#pragma once

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"
#include "base/base_status.h"

namespace quillon::cli {

// What the Base is doing: waiting to retry while there is a status text (failure, countdown),
// connected once the caster has accepted the login (the receiver lost while its link is being
// opened again), connecting otherwise.
SessionState BaseSessionState(BaseStatus& status);

// RunModeCommand for the Base ("sourceinfo.bin"): reports the counters while the upload runs,
// or the status text (failure and retry countdown) while there is one; the final message of a
// session that gave up goes to `err`.
int RunBaseCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
