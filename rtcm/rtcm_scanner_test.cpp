#include "rtcm/rtcm_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtcm/test_frames.h"

namespace quillon {
namespace {

using testframes::Bytes;
using testframes::Payload;

// Only station messages: no observations for a rover to use.
TEST(RtcmScanner, TellsAStreamOfStationMessagesOnly) {
  RtcmScanner stationOnly;
  stationOnly.Scan(Bytes(testframes::kGeonet1006) + Bytes(testframes::kGeonet1008), 0);
  EXPECT_FALSE(stationOnly.Summary(0).HasObservations());
  EXPECT_TRUE(stationOnly.Summary(0).HasStationPosition());
  EXPECT_EQ(*stationOnly.Summary(0).station->antennaHeight, 0.0);
}

// Thirty seconds of a base: MSM once and biases 12 times a second, the position every ten
// seconds, the descriptors once. Rates over 30 s; RTKLIB's position as written to the frames;
// a degree of latitude north of the station is a degree of the Earth's great circle away.
TEST(StreamLines, TheBaseShowsRatesAndPositionTheRoverTheDistance) {
  RtcmScanner scanner;
  std::size_t bytesScanned = 0;
  for (std::uint32_t second = 0; second < 30; ++second) {
    std::string bytes = RtcmFrame(Payload(1077, 2001, std::string(50, '\x5A')));
    for (int i = 0; i < 12; ++i) bytes += RtcmFrame(Payload(1230, 2001));
    if (second % 10 == 0) bytes += Bytes(testframes::kGeonet1005);
    if (second == 0) bytes += Bytes(testframes::kGeonet1033);
    scanner.Scan(bytes, second * 1000);
    bytesScanned += bytes.size();
  }
  const RtcmSummary summary = scanner.Summary(30'000);
  EXPECT_EQ(BaseStreamLine(summary),
            "RTCM 3: 1005 (0.10/s) 1033 (0.033/s) 1077 (1.0/s) 1230 (12/s), station 2001 at "
            "34.9497569 139.0699046 411.21 m");
  EXPECT_EQ(RoverStreamLine(summary, GeoPosition{35.949756936, 139.069904560}),
            "RTCM 3: 1005 1033 1077 1230, station 2001, 111.2 km");
  EXPECT_EQ(RoverStreamLine(summary, std::nullopt), SummaryLine(summary));
  EXPECT_EQ(SummaryLine(summary), "RTCM 3: 1005 1033 1077 1230, station 2001");
  EXPECT_EQ(BaseStreamLine(RtcmSummary{}), "RTCM 3: no frames");
  EXPECT_EQ(SummaryLine(RtcmSummary{}), "RTCM 3: no frames");
  EXPECT_FALSE(StationDistanceKm(RtcmSummary{}, GeoPosition{0.0, 0.0}));
  EXPECT_TRUE(summary.HasObservations() && summary.HasStationPosition());
  EXPECT_EQ(summary.descriptors.receiverType, "TRIMBLE NETR9");
  EXPECT_EQ(summary.frames, 30u * 13 + 3 + 1);
  EXPECT_EQ(summary.frameBytes, bytesScanned);
  EXPECT_EQ(summary.crcFailures + summary.nonFrameBytes, 0u);
}

TEST(SummaryLine, ListsAFewDozenNumbersAtMost) {
  RtcmScanner scanner;
  for (unsigned number = 1; number <= 30; ++number) scanner.Scan(RtcmFrame(Payload(number, 7)), 0);
  EXPECT_EQ(SummaryLine(scanner.Summary(0)),
            "RTCM 3: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 and 6 more");
}

TEST(MessageName, NamesEachSystemsMsmAndTheStationMessages) {
  const std::vector<std::pair<unsigned, std::string>> names = {{1005, "Station ARP"},
                                                               {1071, "GPS MSM1"},
                                                               {1084, "GLONASS MSM4"},
                                                               {1097, "Galileo MSM7"},
                                                               {1107, "SBAS MSM7"},
                                                               {1115, "QZSS MSM5"},
                                                               {1127, "BeiDou MSM7"},
                                                               {1137, "NavIC MSM7"},
                                                               {1078, ""},
                                                               {1138, ""},
                                                               {4095, ""}};
  for (const auto& [number, name] : names) EXPECT_EQ(MessageName(number), name) << number;
}

}  // namespace
}  // namespace quillon
