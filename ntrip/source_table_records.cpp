#include "ntrip/source_table_records.h"

#include <array>
#include <charconv>
#include <cmath>

#include "ntrip/reply.h"

namespace quillon {
namespace {

// The record's fields after "STR", in the order of the line.
constexpr std::array kFieldOrder = {
    &StreamRecord::mountPoint,     &StreamRecord::identifier, &StreamRecord::format,
    &StreamRecord::formatDetails,  &StreamRecord::carrier,    &StreamRecord::navSystem,
    &StreamRecord::network,        &StreamRecord::country,    &StreamRecord::latitude,
    &StreamRecord::longitude,      &StreamRecord::nmea,       &StreamRecord::solution,
    &StreamRecord::generator,      &StreamRecord::compression, &StreamRecord::authentication,
    &StreamRecord::fee,            &StreamRecord::bitrate,
};

// A decimal number in C notation, whatever the locale; nothing for anything else.
std::optional<double> Number(std::string_view text) {
  double value = 0.0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (problem != std::errc() || end != text.data() + text.size() || text.empty() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::vector<std::string_view> StreamRecordLines(std::string_view table) {
  table = table.substr(0, table.find('\0'));
  std::vector<std::string_view> lines;
  while (!table.empty()) {
    const std::size_t end = table.find_first_of("\r\n");
    const std::string_view line = table.substr(0, end);
    if (line.starts_with(kSourceTableRecordMarker)) lines.push_back(line);
    if (end == std::string_view::npos) break;
    table.remove_prefix(end + 1);
  }
  return lines;
}

StreamRecord SplitStreamRecord(std::string_view line) {
  StreamRecord record;
  line.remove_prefix(std::min(kSourceTableRecordMarker.size(), line.size()));
  for (auto field : kFieldOrder) {
    const std::size_t end = line.find(';');
    record.*field = line.substr(0, end);
    if (end == std::string_view::npos) break;
    line.remove_prefix(end + 1);
  }
  return record;
}

std::optional<GeoPosition> StreamPosition(const StreamRecord& record) {
  const std::optional<double> latitude = Number(record.latitude);
  std::optional<double> longitude = Number(record.longitude);
  if (!latitude || !longitude || std::fabs(*latitude) > 90.0 || *longitude < -180.0 ||
      *longitude > 360.0) {
    return std::nullopt;
  }
  if (*longitude > 180.0) *longitude -= 360.0;
  return GeoPosition{*latitude, *longitude};
}

}  // namespace quillon
