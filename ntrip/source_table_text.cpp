#include "ntrip/source_table_text.h"

#include <cstdio>

namespace quillon {

std::string MakeStrRecord(std::string_view mountPoint, const StrFields& f) {
  std::string record = "STR;";
  record += mountPoint;
  for (const std::string* field :
       {&f.identifier, &f.format, &f.formatDetails, &f.carrier, &f.navSystem, &f.network,
        &f.country, &f.latitude, &f.longitude, &f.nmea, &f.solution, &f.generator, &f.compression,
        &f.authentication, &f.fee, &f.bitrate}) {
    record += ';';
    record += *field;
  }
  record += ';';
  return record;
}

std::string MakeSourceTable(const std::vector<std::string>& mountPoints) {
  std::string table =
      "CAS;127.0.0.1;2101;Quillon demo caster;Quillon;0;DEU;52.52;13.40;0.0.0.0;0;\r\n";
  for (const std::string& mountPoint : mountPoints) {
    table += MakeStrRecord(mountPoint);
    table += "\r\n";
  }
  return table;
}

std::vector<std::string> NumberedMountPoints(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "MP%03d", i);
    names.emplace_back(name);
  }
  return names;
}

}  // namespace quillon
