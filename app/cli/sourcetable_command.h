// `quillon sourcetable HOST[:PORT] [--long]`: lists a caster's mount points.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "ntrip/source_table_records.h"
#include "platform/clock.h"
#include "platform/message_sink.h"

namespace quillon::cli {

inline constexpr int kDefaultCasterPort = 2101;

// Prints the mount points on `out`, one a line in reply order, or with "--long" a table of the
// records' main fields. Messages go to `messages`. Returns 0, 1 when the fetch failed or the
// address or port is unusable, 2 on a usage error.
int RunSourceTable(const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock);

// The records as a table with a header line, columns aligned by characters.
std::string FormatStreamTable(const std::vector<StreamRecord>& records);

}  // namespace quillon::cli
