#include "ntrip/source_table_records.h"

#include <array>

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

StreamRecord SplitRecord(std::string_view line) {
  StreamRecord record;
  line.remove_prefix(kSourceTableRecordMarker.size());
  for (auto field : kFieldOrder) {
    const std::size_t end = line.find(';');
    record.*field = std::string(line.substr(0, end));
    if (end == std::string_view::npos) break;
    line.remove_prefix(end + 1);
  }
  return record;
}

}  // namespace

std::vector<StreamRecord> ParseStreamRecords(std::string_view table) {
  table = table.substr(0, table.find('\0'));
  std::vector<StreamRecord> records;
  while (!table.empty()) {
    const std::size_t end = table.find_first_of("\r\n");
    const std::string_view line = table.substr(0, end);
    if (line.starts_with(kSourceTableRecordMarker)) records.push_back(SplitRecord(line));
    if (end == std::string_view::npos) break;
    table.remove_prefix(end + 1);
  }
  return records;
}

}  // namespace quillon
