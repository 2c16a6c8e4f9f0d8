#include "serve/status_metrics.h"

#include <cstdint>
#include <optional>
#include <string>

#include "common/decimal_text.h"
#include "common/printable_text.h"
#include "common/version.h"

namespace quillon {
namespace {

class Metrics {
 public:
  // Begins a family: its HELP and TYPE lines.
  void Family(std::string_view name, std::string_view type, std::string_view help) {
    name_ = name;
    text_ += "# HELP " + name_ + " " + std::string(help) + "\n# TYPE " + name_ + " " +
             std::string(type) + "\n";
  }
  // A sample of the family begun last; `labels` are already made ("output=\"log\"").
  void Sample(const std::string& value, const std::string& labels = {}) {
    text_ += name_ + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
  }
  void Sample(std::int64_t value, const std::string& labels = {}) {
    Sample(std::to_string(value), labels);
  }
  std::string Text() && { return std::move(text_); }

 private:
  std::string name_;
  std::string text_;
};

std::string Label(std::string_view name, std::string_view value) {
  return std::string(name) + "=\"" + MetricLabel(value) + "\"";
}

}  // namespace

std::string MetricLabel(std::string_view text) {
  std::string out;
  for (const char c : PrintableText(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string StatusMetrics(const StationView& view) {
  const StationStatus& status = view.status;
  const RtcmSummary& summary = view.state.summary;
  Metrics m;
  m.Family("quillon_info", "gauge", "The session's mode and mount point, and the version.");
  m.Sample(1, Label("mode", view.ModeName()) + "," + Label("mount_point", view.stream.mountPoint) +
                  "," + Label("version", kVersion));
  m.Family("quillon_uptime_seconds", "gauge", "Seconds since the session began.");
  m.Sample(status.uptimeSeconds);
  m.Family("quillon_bytes_total", "counter", "Bytes each output has taken.");
  for (const OutputStatus& output : status.outputs) {
    m.Sample(output.bytesTotal, Label("output", output.name));
  }
  m.Family("quillon_rate_bytes_per_second", "gauge", "Bytes a second each output takes now.");
  for (const OutputStatus& output : status.outputs) {
    m.Sample(output.bytesPerSecond, Label("output", output.name));
  }
  m.Family("quillon_output_up", "gauge", "1 while an output does its work, 0 otherwise.");
  for (const OutputStatus& output : status.outputs) {
    m.Sample(output.up ? 1 : 0, Label("output", output.name));
  }
  m.Family("quillon_clients", "gauge", "Clients of the program's own caster.");
  m.Sample(static_cast<std::int64_t>(status.clients.size()));
  m.Family("quillon_stream_bits_per_second", "gauge", "Bit rate of the served stream.");
  m.Sample(view.state.bitsPerSecond);
  m.Family("quillon_rtcm_messages_per_second", "gauge", "RTCM 3 messages a second, by type.");
  for (const MessageStats& message : summary.messages) {
    m.Sample(DecimalText(message.perSecond, 3), Label("type", std::to_string(message.number)));
  }
  m.Family("quillon_rtcm_messages_total", "counter", "RTCM 3 messages served, by type.");
  for (const MessageStats& message : summary.messages) {
    m.Sample(static_cast<std::int64_t>(message.count),
             Label("type", std::to_string(message.number)));
  }
  if (const std::optional<ReceiverSolution>& solution = status.solution) {
    m.Family("quillon_fix_quality", "gauge",
             "The receiver's GGA fix quality: 0 none, 1 single, 2 DGPS, 4 RTK fixed, 5 RTK float.");
    m.Sample(static_cast<std::int64_t>(solution->quality));
    if (solution->satellites) {
      m.Family("quillon_satellites", "gauge", "Satellites in the receiver's solution.");
      m.Sample(static_cast<std::int64_t>(*solution->satellites));
    }
    if (solution->ageSeconds) {
      m.Family("quillon_correction_age_seconds", "gauge", "Age of the corrections in use.");
      m.Sample(DecimalText(*solution->ageSeconds, 1));
    }
  }
  if (const std::optional<double> km = view.DistanceKm()) {
    m.Family("quillon_station_distance_km", "gauge", "From the receiver to the station.");
    m.Sample(DecimalText(*km, 3));
  }
  return std::move(m).Text();
}

}  // namespace quillon
