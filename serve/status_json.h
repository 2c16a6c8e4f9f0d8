// "/status.json" of the program's own caster: what the status page shows, as one JSON object.
#pragma once

#include <string>

#include "serve/station_view.h"

namespace quillon {

// {"mode", "mount_point", "uptime_seconds", "outputs": [...], "solution": {...} or null,
//  "stream": {"station_id", "position", "distance_km", "bits_per_second", "receiver",
//  "antenna", "messages": [...]}, "clients": [...]}; an unknown value is null.
std::string StatusJson(const StationView& view);

}  // namespace quillon
