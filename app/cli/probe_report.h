// What `quillon probe` found in a stream, printed as a table for people or as one JSON object.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "common/great_circle.h"
#include "rtcm/rtcm_summary.h"

namespace quillon::cli {

struct ProbeResult {
  std::string mountPoint;
  std::uint32_t listenedMs = 0;  // from the accepted login to the end of listening
  std::uint64_t bytes = 0;       // of the stream, after the reply head and any chunk framing
  RtcmSummary summary;
  std::optional<GeoPosition> near;  // --near: the distance to the station is shown
  // Why listening ended before its time (a stop, the caster's close, a broken stream), as one
  // printable sentence; empty when it ran its time.
  std::string ending;

  bool SawRtcm3() const { return summary.frames > 0; }
};

// Every message number with its name, count and rate; the station, its position (and distance
// from `near`), its equipment; the data rate, CRC failures and the bytes outside frames.
void PrintProbeText(std::FILE* out, const ProbeResult& result);

// The same as one JSON object on one line; values not known are null.
void PrintProbeJson(std::FILE* out, const ProbeResult& result);

}  // namespace quillon::cli
