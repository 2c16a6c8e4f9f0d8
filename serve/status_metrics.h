// "/metrics" of the program's own caster: the status in Prometheus' text format, each family
// with its "# HELP" and "# TYPE" lines.
#pragma once

#include <string>
#include <string_view>

#include "serve/station_view.h"

namespace quillon {

inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// `text` for a quoted label value: printable (PrintableText, so no line end), with '\' and '"'
// escaped.
std::string MetricLabel(std::string_view text);

// quillon_info (mode, mount point, version), quillon_uptime_seconds, per output
// quillon_bytes_total, quillon_rate_bytes_per_second and quillon_output_up, quillon_clients,
// quillon_stream_bits_per_second, per message type quillon_rtcm_messages_per_second and
// quillon_rtcm_messages_total, and for a receiver's solution quillon_fix_quality,
// quillon_satellites, quillon_correction_age_seconds; quillon_station_distance_km when known.
std::string StatusMetrics(const StationView& view);

}  // namespace quillon
