// Receivers' sentences from manuals and logs, checksums checked with pynmea2.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "ntrip/position_sentence.h"

namespace quillon::testing::nmea {

inline const std::string kSirfGga =
    "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n";
inline const std::string kStationGga =
    "$GPGGA,002153.000,3342.6618,N,11751.3858,W,1,10,1.2,27.0,M,-34.2,M,,0000*5E\r\n";
inline const std::string kNoFixGga = "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n";
inline const std::string kUbloxRmc =
    "$GPRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*57\r\n";
inline const std::string kUbloxGll = "$GPGLL,4717.11364,N,00833.91565,E,092321.00,A,A*60\r\n";
inline const std::string kGnGll = "$GNGLL,4404.14012,N,12118.85993,W,001037.00,A,A*67\r\n";
inline const std::string kGnGns =
    "$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,*70\r\n";
// Holds no position.
inline const std::string kGsv =
    "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n";

// `text` (from "$" up to and with "*") with its checksum and `lineEnd`: for damaged sentences
// whose only damage is the one a test names.
inline std::string WithChecksum(std::string_view text, std::string_view lineEnd = "\r\n") {
  std::array<char, 3> checksum{};
  std::snprintf(checksum.data(), checksum.size(), "%02X", NmeaChecksum(text));
  return std::string(text).append(checksum.data()).append(lineEnd);
}

// A GGA of `talker` with the fields of its solution as given.
inline std::string Gga(std::string_view talker, std::string_view quality,
                       std::string_view satellites, std::string_view hdop, std::string_view age,
                       std::string_view station) {
  return WithChecksum("$" + std::string(talker) + "GGA,092750.00,5321.6802,N,00630.3372,W," +
                      std::string(quality) + "," + std::string(satellites) + "," +
                      std::string(hdop) + ",61.7,M,55.2,M," + std::string(age) + "," +
                      std::string(station) + "*");
}

inline constexpr double kLatitude = 5.5;
inline constexpr double kLongitude = -0.5;

// `sentence` rewritten at a position; empty when refused.
inline std::string Rewritten(std::string_view sentence, double latitude = kLatitude,
                             double longitude = kLongitude) {
  NmeaSentence out;
  return std::string(out.data(), RewritePositionSentence(sentence, latitude, longitude, out));
}

}  // namespace quillon::testing::nmea
