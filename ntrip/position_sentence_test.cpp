#include "ntrip/position_sentence.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "ntrip/nmea_test_sentences.h"
#include "ntrip/receiver_position.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using namespace testing::nmea;

// Each expected sentence was parsed by pynmea2 1.15.0 with its checksum checked and gave back
// its row's position (within 1e-7 degree) in a 10- and an 11-character field.
TEST(RewritePositionSentence, WritesCoordinatesInTheStandardsWidth) {
  const struct {
    double latitude, longitude;
    std::string_view position, checksum;  // of the sentence as written
  } cases[] = {
      {0.0, 0.0, "0000.00000,N,00000.00000,E", "6D"},
      {0.5, -0.5, "0030.00000,N,00030.00000,W", "7F"},
      {-0.5, 0.5, "0030.00000,S,00030.00000,E", "70"},
      {89.99999, -179.99999, "8959.99940,N,17959.99940,W", "71"},
      // Rounded to the nearest 0.00001 minute, carrying into the next degree.
      {5.9999999999, -9.9999999999, "0600.00000,N,01000.00000,W", "78"},
      {-33.8, -70.25, "3348.00000,S,07015.00000,W", "6D"},  // truncation: 3347.99999
      {90.0, -180.0, "9000.00000,N,18000.00000,W", "7F"},
      {51.4778, -0.001, "5128.66800,N,00000.06000,W", "7F"},  // the fraction's leading zeros
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rewritten(kSirfGga, c.latitude, c.longitude),
              "$GPGGA,092750.000," + std::string(c.position) + ",1,8,1.03,61.7,M,55.2,M,,*" +
                  std::string(c.checksum) + "\r\n")
        << c.latitude;
  }
}

// Checked with pynmea2 as above, and each field but the position compared with the original's.
TEST(RewritePositionSentence, RewritesEveryKindOfEveryTalkerKeepingItsOtherFieldsAndLineEnd) {
  const struct {
    std::string_view sentence, expected;
  } cases[] = {
      {kUbloxRmc, "$GPRMC,083559.00,A,0530.00000,N,00030.00000,W,0.004,77.52,091202,,,A*40\r\n"},
      {kUbloxGll, "$GPGLL,0530.00000,N,00030.00000,W,092321.00,A,A*75\r\n"},
      {kGnGns, "$GNGNS,014035.00,0530.00000,N,00030.00000,W,RR,13,0.9,25.63,11.24,,*73\r\n"},
      {"$GPGLL,3751.65,S,14507.36,E*77\r\n", "$GPGLL,0530.00000,N,00030.00000,W*7C\r\n"},
      {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68\r\n",
       "$GPRMC,225446,A,0530.00000,N,00030.00000,W,000.5,054.7,191194,020.3,E*65\r\n"},
      // With the navigational status of NMEA 4.1.
      {"$GPRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A,V*2D\r\n",
       "$GPRMC,083559.00,A,0530.00000,N,00030.00000,W,0.004,77.52,091202,,,A,V*3A\r\n"},
      {"$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,,V*0A\r\n",
       "$GNGNS,014035.00,0530.00000,N,00030.00000,W,RR,13,0.9,25.63,11.24,,,V*09\r\n"},
      // BeiDou and QZSS talkers (the head's test has the others).
      {"$GBRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*45\r\n",
       "$GBRMC,083559.00,A,0530.00000,N,00030.00000,W,0.004,77.52,091202,,,A*52\r\n"},
      {"$GQGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*77\r\n",
       "$GQGGA,092750.000,0530.00000,N,00030.00000,W,1,8,1.03,61.7,M,55.2,M,,*7B\r\n"},
      // Empty fields of a receiver without a fix get the position; the station field stays.
      {kNoFixGga, "$GPGGA,,0530.00000,N,00030.00000,W,0,00,99.99,,,,,,*64\r\n"},
      {kStationGga,
       "$GPGGA,002153.000,0530.00000,N,00030.00000,W,1,10,1.2,27.0,M,-34.2,M,,0000*51\r\n"},
      // A checksum in small letters is read; the line end stays as it was, or absent.
      {"$GPGGA,002153.000,3342.6618,N,11751.3858,W,1,10,1.2,27.0,M,-34.2,M,,0000*5e\n",
       "$GPGGA,002153.000,0530.00000,N,00030.00000,W,1,10,1.2,27.0,M,-34.2,M,,0000*51\n"},
      {"$GPGLL,4717.11364,N,00833.91565,E,092321.00,A,A*60\r",
       "$GPGLL,0530.00000,N,00030.00000,W,092321.00,A,A*75\r"},
      {"$GPGLL,4717.11364,N,00833.91565,E,092321.00,A,A*60",
       "$GPGLL,0530.00000,N,00030.00000,W,092321.00,A,A*75"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rewritten(c.sentence), c.expected) << c.sentence;
  }
}

// Checksums computed for the damaged text, so that only the named damage is wrong.
TEST(RewritePositionSentence, RefusesDamagedOrOverlongSentencesAndPositionsOffTheGlobe) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::string gga = kSirfGga.substr(0, kSirfGga.size() - 5);  // up to the "*"
  const struct {
    std::string sentence;
    double latitude = 5.5, longitude = -0.5;
  } refused[] = {
      {gga + "\r\n"},                                                       // no checksum
      {gga + "*77\r\n"},                                                    // wrong checksum
      {gga + "*7\r\n"},                                                     // half a checksum
      {gga + "*76 \r\n"},                                                   // text behind it
      {"$gpgga" + gga.substr(6) + "*56\r\n"},                               // small letters
      {"$GPGGA,092750.000\0"s + gga.substr(17) + "*76\r\n"},                // NUL inside
      {"$GPGGA,092750.000,5321.6802,N,$" + gga.substr(30) + "*52\r\n"},     // "$" inside
      {"$GPGGA,092750.000,5321.6802,N,\r\n" + gga.substr(30) + "*71\r\n"},  // line end inside
      {gga + ",*5A\r\n"},                                                   // 16 fields
      {gga.substr(0, gga.size() - 1) + "*5A\r\n"},                          // 14 fields
      {"$GPRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,*16\r\n"},   // 11
      {"$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,,V,*26"},  // 15
      {"$GPGLL,3751.65,S,14507.36*1E"},                                               // 4 fields
      {"$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n"},   // no kind
      {kSirfGga + kSirfGga},  // two sentences
      {kSirfGga, 90.5, 0.0},
      {kSirfGga, 0.0, -180.5},
      {kSirfGga, nan, 0.0},
      {kSirfGga, 0.0, inf},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(Rewritten(r.sentence, r.latitude, r.longitude), "") << r.sentence;
  }
  // Fields hold 63 bytes, a sentence 255; the position fields already have the rewritten length.
  const auto sentence = [](std::array<std::size_t, 4> pad) {
    return WithChecksum("$GPGGA," + std::string(pad[0], '1') + ",0530.00000,N,00030.00000,W," +
                        std::string(pad[1], '2') + "," + std::string(pad[2], '3') + "," +
                        std::string(pad[3], '4') + ",61.7,M,55.2,M,,*");
  };
  const std::size_t toFull = kNmeaMaxSentenceLength - sentence({0, 0, 0, 0}).size();
  const struct {
    std::string sentence;
    bool rewritten;
  } cases[] = {
      {sentence({63, 1, 1, 1}), true},
      {sentence({64, 1, 1, 1}), false},
      {sentence({63, 63, 63, toFull - 189}), true},
      {sentence({63, 63, 63, toFull - 188}), false},
  };
  ASSERT_EQ(cases[2].sentence.size(), kNmeaMaxSentenceLength);
  for (const auto& c : cases) {
    EXPECT_EQ(Rewritten(c.sentence), c.rewritten ? c.sentence : "")
        << c.sentence.size() << " bytes";
  }
}

// Degrees worked out by hand from each sentence's fields (ddmm.mmmm / 60).
TEST(GgaPosition, ReadsTheFixOfAWellFormedGgaAndNothingElseAndTheReceiverKeepsTheLatest) {
  const struct {
    std::string sentence;
    std::optional<GeoPosition> position;
  } cases[] = {
      {kSirfGga, GeoPosition{53.0 + 21.6802 / 60, -(6.0 + 30.3372 / 60)}},
      {kStationGga, GeoPosition{33.0 + 42.6618 / 60, -(117.0 + 51.3858 / 60)}},
      {WithChecksum("$GNGGA,1,0030.0,S,00030.0,E,4,8,1,0,M,0,M,1.0,0001*"), GeoPosition{-0.5, 0.5}},
      {kNoFixGga, std::nullopt},
      {kUbloxRmc, std::nullopt},
      {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*77\r\n", std::nullopt},
      {WithChecksum("$GPGGA,1,5360.0000,N,00630.3372,W,1,8,1,0,M,0,M,,*"), std::nullopt},
      {WithChecksum("$GPGGA,1,9030.0000,N,00630.3372,W,1,8,1,0,M,0,M,,*"), std::nullopt},
      {WithChecksum("$GPGGA,1,5321.68,N,18030.0000,E,1,8,1,0,M,0,M,,*"), std::nullopt},
      {WithChecksum("$GPGGA,1,53-1.68,N,00630.3372,W,1,8,1,0,M,0,M,,*"), std::nullopt},
      {WithChecksum("$GPGGA,1,5321.68,X,00630.3372,W,1,8,1,0,M,0,M,,*"), std::nullopt},
      {WithChecksum("$GPGGA,1,,N,00630.3372,W,1,8,1,0,M,0,M,,*"), std::nullopt},
      {WithChecksum("$GPGGA,1,5321.68,N,00630.3372,W,,8,1,0,M,0,M,,*"), std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<GeoPosition> position = GgaPosition(c.sentence);
    ASSERT_EQ(position.has_value(), c.position.has_value()) << c.sentence;
    if (!position) continue;
    EXPECT_NEAR(position->latitude, c.position->latitude, 1e-9) << c.sentence;
    EXPECT_NEAR(position->longitude, c.position->longitude, 1e-9) << c.sentence;
  }
  // The receiver's latest fix, wherever its blocks are cut.
  const std::string upstream = kSirfGga + "\xD3\x00\x13$GP" + kStationGga + kNoFixGga + kUbloxRmc +
                               "$GPGGA,1,0030.0,S,00030.0,E,1,8,1,0,M,0,M,,*00\r\n" + kGsv;
  for (std::size_t cut = 0; cut <= upstream.size(); ++cut) {
    ReceiverPosition receiver;
    receiver.Take(std::string_view(upstream).substr(0, cut));
    receiver.Take(std::string_view(upstream).substr(cut));
    ASSERT_TRUE(receiver.Latest()) << cut;
    EXPECT_NEAR(receiver.Latest()->latitude, 33.0 + 42.6618 / 60, 1e-9) << cut;
  }
  ReceiverPosition none;
  none.Take(kNoFixGga + std::string(300, 'x') + "\n");
  EXPECT_FALSE(none.Latest());
}

TEST(GgaSolution, ReadsEveryQualityOfAnyTalkerAndLeavesOutFieldsThatAreNoNumberInRange) {
  const struct {
    std::string sentence;
    std::string_view text;  // SolutionText; empty: no solution
    std::optional<double> hdop;
    std::optional<unsigned> station;
  } cases[] = {
      {kSirfGga, "single, 8 sats", 1.03, std::nullopt},
      {kStationGga, "single, 10 sats", 1.2, 0},
      {kNoFixGga, "no fix, 0 sats", 99.99, std::nullopt},
      {Gga("GP", "2", "09", "0.9", "3", "0012"), "DGPS, 9 sats, age 3.0 s", 0.9, 12},
      {Gga("GL", "3", "7", "2", "", ""), "PPS, 7 sats", 2.0, std::nullopt},
      {Gga("GN", "4", "14", "0.8", "1.0", "2001"), "RTK fixed, 14 sats, age 1.0 s", 0.8, 2001},
      {Gga("GA", "5", "123", "9999", "99999", "4095"), "RTK float, 123 sats, age 99999.0 s", 9999,
       4095},
      {Gga("BD", "6", "4", "", "", ""), "dead reckoning, 4 sats", std::nullopt, std::nullopt},
      {Gga("GQ", "7", "", "", "", ""), "manual", std::nullopt, std::nullopt},
      {Gga("GB", "8", "", "", "", ""), "simulated", std::nullopt, std::nullopt},
      {Gga("GN", "4", "1000", "1.2.3", "100000", "4096"), "RTK fixed", std::nullopt, std::nullopt},
      {Gga("GN", "4", "-1", "-0.5", "1e3", "+12"), "RTK fixed", std::nullopt, std::nullopt},
      {Gga("GN", "4", "1.5", ".", "inf", "12.0"), "RTK fixed", std::nullopt, std::nullopt},
      {Gga("GN", "9", "14", "0.8", "1.0", "2001"), "", std::nullopt, std::nullopt},
      {Gga("GN", "", "14", "0.8", "1.0", "2001"), "", std::nullopt, std::nullopt},
      {Gga("GN", "04", "14", "0.8", "1.0", "2001"), "", std::nullopt, std::nullopt},
      {Gga("GN", "4\x1B", "14", "0.8", "1.0", "2001"), "", std::nullopt, std::nullopt},
      {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*77\r\n", "",
       std::nullopt, std::nullopt},
      {kUbloxRmc, "", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<ReceiverSolution> solution = GgaSolution(c.sentence);
    EXPECT_EQ(solution ? SolutionText(*solution) : "", c.text) << c.sentence;
    if (!solution) continue;
    EXPECT_EQ(solution->hdop, c.hdop) << c.sentence;
    EXPECT_EQ(solution->stationId, c.station) << c.sentence;
  }
}

}  // namespace
}  // namespace quillon
