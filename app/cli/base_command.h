// `quillon base`: one Base session without windows, as pressing Connect in the Base dialog.
#pragma once

#include <deque>
#include <string>

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"
#include "base/base_session.h"
#include "base/base_status.h"

namespace quillon::cli {

// The Base's status on the command line, with the casters of --also beside the primary.
class BaseCommandStatus final : public BaseStatus {
 public:
  // The worker uses the extra casters: it ends before they go.
  ~BaseCommandStatus() { EndWorker(); }

  std::string primaryName;  // the primary caster's host, for the line of each caster
  std::deque<ExtraCasterSession> extras;
};

// What the Base is doing: waiting to retry while there is a status text (failure, countdown),
// connected once the caster has accepted the login (the receiver lost while its link is being
// opened again), connecting otherwise. With `extras`, each caster's own state beside it.
SessionState BaseSessionState(BaseStatus& status);
SessionState BaseSessionState(BaseCommandStatus& status);

// RunModeCommand for the Base ("sourceinfo.bin"): reports the counters while the upload runs,
// or the status text (failure and retry countdown) while there is one; the final message of a
// session that gave up goes to `err`.
int RunBaseCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
