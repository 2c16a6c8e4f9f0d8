// `quillon sourcetable HOST[:PORT] [--user U [--password-file F]] [--long] [--near LAT,LON]
// [--limit N] [--format text|json] [--ntrip 1|2] [--tls [--ca-file F | --insecure]]`: lists a
// caster's streams.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "platform/clock.h"
#include "platform/message_sink.h"

namespace quillon::cli {

inline constexpr int kDefaultCasterPort = 2101;

// Prints every stream of the caster's table on `out`, in reply order: its mount point, one a
// line, or with "--long" a table of the records' main fields, or with "--format json" one
// object per stream with every field named. "--near LAT,LON" sorts the streams by their
// distance from that position and shows it (streams without a position last), "--limit N"
// keeps the first N. "--user U" logs in with Basic authentication, with the password from
// "--password-file F" or else `environmentPassword` (QUILLON_PASSWORD); nothing is saved.
// Everything from the caster is printed with its control characters replaced, and an aligned
// listing's columns at most 40 characters wide. A table that ended badly is listed as far as it
// came, and one message says how it ended. Messages go to `messages`. Returns 0 for a whole
// table; 1 when it ended badly, the listing had to be cut, the fetch failed or the address or
// port is unusable; 2 on a usage error; kExitStoppedBeforeStart when `stopFd` (StopSignals)
// became readable before the listing. Cold as the commands in commands.h are.
[[gnu::cold]] int RunSourceTable(
    const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock,
    const std::optional<std::string>& environmentPassword = std::nullopt, int stopFd = -1);

}  // namespace quillon::cli
