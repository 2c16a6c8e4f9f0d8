// `quillon probe HOST[:PORT]/MOUNT [--seconds N] [--user U] [--password-file F] [--near LAT,LON]
// [--format text|json] [--ntrip 1|2] [--tls [--ca-file F | --insecure]]`: logs in to a mount point
// as a Rover without a receiver, listens for a while and tells what the stream holds.
#pragma once

#include <cstdint>

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"

namespace quillon::cli {

inline constexpr int kDefaultProbeSeconds = 10;
inline constexpr int kMaxProbeSeconds = 3600;

// Logs in as the Rover does (NTRIP 1 unless --ntrip 2 or --tls; the password from --password-file
// or QUILLON_PASSWORD; nothing saved is used or saved), scans every byte of the stream behind the
// reply for --seconds (1 to kMaxProbeSeconds, default kDefaultProbeSeconds) of
// `environment.clock`, or until the caster ends the stream or `environment.stopFd` becomes
// readable, then prints what it found on `environment.out` (ProbeResult). Returns 0 when RTCM 3
// frames came, 1 when none did or the login failed (the reason on `environment.err`), 2 for
// options it cannot use, and kExitStoppedBeforeStart when stopped before the caster accepted the
// login.
[[gnu::cold]] int RunProbeCommand(const Arguments& args, const CommandEnvironment& environment);

}  // namespace quillon::cli
