// The STR records of a source table with their main fields, for views that show more than the
// mount-point names (the command line's long listing).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "common/great_circle.h"

namespace quillon {

// The fields of one STR record as NTRIP version 1 casters send them, as views into the table
// text; a field the record does not have is empty.
struct StreamRecord {
  std::string_view mountPoint;
  std::string_view identifier;
  std::string_view format;
  std::string_view formatDetails;
  std::string_view carrier;
  std::string_view navSystem;
  std::string_view network;
  std::string_view country;
  std::string_view latitude;
  std::string_view longitude;
  std::string_view nmea;
  std::string_view solution;
  std::string_view generator;
  std::string_view compression;
  std::string_view authentication;
  std::string_view fee;
  std::string_view bitrate;
};

// Every line of `table` (up to its first NUL) that begins with "STR;", in order, without its
// line end. Lines end at LF, CR LF or CR. A view a line is all that a long table costs.
std::vector<std::string_view> StreamRecordLines(std::string_view table);

// The fields of one such line, split at ";".
StreamRecord SplitStreamRecord(std::string_view line);

// The stream's position from its latitude and longitude fields; nothing when they are not
// numbers on the globe. A longitude from 180 to 360 degrees (east all the way round, as some
// casters write it) is read as west of Greenwich.
std::optional<GeoPosition> StreamPosition(const StreamRecord& record);

}  // namespace quillon
