// Everything the status page, its JSON and its metrics show at one moment: the session's status
// from the command line and the served stream as scanned.
#pragma once

#include <optional>
#include <string_view>

#include "serve/served_stream_record.h"
#include "serve/station_status.h"

namespace quillon {

struct StationView {
  const ServedStream& stream;
  const StationStatus& status;
  const StreamState& state;

  // "Base" or "Rover".
  std::string_view ModeName() const;
  // From the receiver's position to the station's antenna; nothing until both are known.
  std::optional<double> DistanceKm() const;
};

// How often the page reloads itself, in seconds.
inline constexpr int kStatusPageRefreshSeconds = 5;

}  // namespace quillon
