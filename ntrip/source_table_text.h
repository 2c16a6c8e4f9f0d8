// Source-table texts as real casters send them, for the demo caster and for tests of the
// source-table client.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The fields of one STR record after the mount point, with the values a typical RTCM 3 network
// stream carries.
struct StrFields {
  std::string identifier = "Identifier";
  std::string format = "RTCM 3.2";
  std::string formatDetails = "1004(1),1006(10)";
  std::string carrier = "2";
  std::string navSystem = "GPS+GLO";
  std::string network = "NET";
  std::string country = "DEU";
  std::string latitude = "52.52";
  std::string longitude = "13.40";
  std::string nmea = "1";
  std::string solution = "0";
  std::string generator = "sNTRIP";
  std::string compression = "none";
  std::string authentication = "B";
  std::string fee = "N";
  std::string bitrate = "9600";
};

// One STR record without its line end, for example
// "STR;MNT;Identifier;RTCM 3.2;1004(1),1006(10);2;GPS+GLO;NET;DEU;52.52;13.40;1;0;sNTRIP;none;B;N;9600;".
std::string MakeStrRecord(std::string_view mountPoint, const StrFields& fields = {});

// A table text: a CAS record for the demo caster, then one STR record per mount point, in the
// given order, each line ended by "\r\n". No status line, headers or "ENDSOURCETABLE".
std::string MakeSourceTable(const std::vector<std::string>& mountPoints);

// Mount-point names "MP000", "MP001", ... for tables of any size.
std::vector<std::string> NumberedMountPoints(int count);

}  // namespace quillon
