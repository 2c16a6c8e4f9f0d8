// What the status page shows of a command-line session, taken from its state once a second.
#pragma once

#include <cstdint>
#include <string>

#include "app/cli/session_report.h"
#include "common/connect_checks.h"
#include "serve/station_status.h"

namespace quillon::cli {

// The session's casters (each of several by its line, or the one by `casterName`) with their
// states and rates, and the Rover's solution and position. The clients are the server's to add.
StationStatus StationStatusOf(ConnectingMode mode, std::int64_t uptimeSeconds,
                              const SessionState& state, const std::string& casterName);

}  // namespace quillon::cli
