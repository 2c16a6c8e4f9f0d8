// `quillon sourcetable HOST[:PORT] [--long] [--near LAT,LON] [--limit N] [--format text|json]`:
// lists a caster's streams.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "ntrip/source_table_records.h"
#include "platform/clock.h"
#include "platform/message_sink.h"

namespace quillon::cli {

inline constexpr int kDefaultCasterPort = 2101;

// One stream as the listing shows it: its record and, with --near, its distance in km (nothing
// when the record gives no usable position).
struct ListedStream {
  const StreamRecord* record = nullptr;
  std::optional<double> km;
};

// Prints every stream of the caster's table on `out`, in reply order: its mount point, one a
// line, or with "--long" a table of the records' main fields, or with "--format json" one
// object per stream with every field named. "--near LAT,LON" sorts the streams by their
// distance from that position and shows it (streams without a position last), "--limit N"
// keeps the first N. Everything from the caster is printed with its control characters
// replaced. Messages go to `messages`. Returns 0, 1 when the fetch failed or the address or
// port is unusable, 2 on a usage error.
int RunSourceTable(const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock);

// The streams as a table with a header line, columns aligned by characters; with `distance`
// a DISTANCE column after the mount point.
std::string FormatStreamTable(const std::vector<ListedStream>& streams, bool distance);

// The streams as a JSON array, one object a line; with `distance` each has "distance_km".
std::string FormatStreamJson(const std::vector<ListedStream>& streams, bool distance);

}  // namespace quillon::cli
