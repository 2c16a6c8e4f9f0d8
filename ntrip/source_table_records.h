// The STR records of a source table with their main fields, for views that show more than the
// mount-point names (the command line's long listing).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/great_circle.h"

namespace quillon {

// The fields of one STR record as NTRIP version 1 casters send them; a field the record does
// not have is empty.
struct StreamRecord {
  std::string mountPoint;
  std::string identifier;
  std::string format;
  std::string formatDetails;
  std::string carrier;
  std::string navSystem;
  std::string network;
  std::string country;
  std::string latitude;
  std::string longitude;
  std::string nmea;
  std::string solution;
  std::string generator;
  std::string compression;
  std::string authentication;
  std::string fee;
  std::string bitrate;
};

// Every line of `table` (up to its first NUL) that begins with "STR;", in order, split at ";".
// Lines end at LF, CR LF or CR.
std::vector<StreamRecord> ParseStreamRecords(std::string_view table);

// The stream's position from its latitude and longitude fields; nothing when they are not
// numbers on the globe. A longitude from 180 to 360 degrees (east all the way round, as some
// casters write it) is read as west of Greenwich.
std::optional<GeoPosition> StreamPosition(const StreamRecord& record);

}  // namespace quillon
