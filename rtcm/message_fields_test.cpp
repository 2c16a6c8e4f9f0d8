#include "rtcm/message_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "rtcm/test_frames.h"

namespace quillon {
namespace {

using testframes::Bytes;
using testframes::Payload;
using testframes::PayloadOf;

std::string PayloadFromHex(std::string_view hex) { return PayloadOf(Bytes(hex)); }

// How far apart two positions are, in metres on the ground and in height.
double GroundMetres(const Wgs84Position& a, double latitude, double longitude) {
  constexpr double kMetresPerRadian = 6378137.0;
  constexpr double kRadians = std::numbers::pi / 180.0;
  const double north = (a.place.latitude - latitude) * kRadians * kMetresPerRadian;
  const double east = std::remainder(a.place.longitude - longitude, 360.0) * kRadians *
                      kMetresPerRadian * std::cos(latitude * kRadians);
  return std::hypot(north, east);
}

// RTKLIB turned each latitude, longitude and height into the ECEF coordinates of a 1005 or 1006
// message; decoded and converted back, each lands within a millimetre of where it started. IGS
// station ABMF's published coordinates the message holds to 0.1 mm (RTKLIB rounds them down).
// A 1006 also holds the antenna height; nothing comes of a payload cut short or another message.
TEST(DecodeAntennaReferencePoint, ReadsTheCoordinatesAndTheHeightOfAWholePayloadOnly) {
  const EcefPosition abmf{2919785.79396864, -5383744.94920112, 1774604.87300143};
  const struct {
    std::string_view hex;
    unsigned stationId;
    std::optional<double> height;                             // of the antenna
    double latitude = 0, longitude = 0, ellipsoidHeight = 0;  // unless an ABMF frame
  } cases[] = {
      {testframes::kGeonet1005, 2001, std::nullopt, 34.949756936, 139.069904560, 411.2090},
      {testframes::kGeonet1006, 2001, 0.0, 34.949756936, 139.069904560, 411.2090},
      // str2str -sta 17 -p -33.447487 -70.673676 570.0 (south and west)
      {"d300133ed01103041af496cbb44b5b519037dc58c245080635", 17, std::nullopt, -33.447487,
       -70.673676, 570.0},
      // -sta 4095 -p -89.9975 139.27 2810.0 (next to the pole)
      {"d300133edfff033fffdfb2a880001bd04a313167cd568e9b1d", 4095, std::nullopt, -89.9975, 139.27,
       2810.0},
      // -sta 0 -p 0.0001 -179.9999 -35.5 (equator, date line, below the ellipsoid)
      {"d300133ed0000331265af228bffffe4d29000001afedb5985b", 0, std::nullopt, 0.0001, -179.9999,
       -35.5},
      {testframes::kAbmf1005, 1234, std::nullopt},
      {testframes::kAbmf1006, 1234, 0.0},
      {testframes::kAbmf1006Height, 1234, 1.5432},
  };
  for (const auto& c : cases) {
    const std::string payload = PayloadFromHex(c.hex);
    const auto point = DecodeAntennaReferencePoint(payload);
    ASSERT_TRUE(point) << c.hex;
    EXPECT_EQ(point->stationId, c.stationId);
    if (c.stationId == 1234) {
      EXPECT_NEAR(point->ecef.x, abmf.x, 0.0001);
      EXPECT_NEAR(point->ecef.y, abmf.y, 0.0001);
      EXPECT_NEAR(point->ecef.z, abmf.z, 0.0001);
    } else {
      const Wgs84Position position = Wgs84FromEcef(point->ecef);
      EXPECT_LT(GroundMetres(position, c.latitude, c.longitude), 0.001) << c.hex;
      EXPECT_NEAR(position.height, c.ellipsoidHeight, 0.001) << c.hex;
    }
    ASSERT_EQ(point->antennaHeight.has_value(), c.height.has_value()) << c.hex;
    if (c.height) {
      EXPECT_NEAR(*point->antennaHeight, *c.height, 1e-9);
    }
    for (std::size_t size = 0; size < payload.size(); ++size) {
      EXPECT_FALSE(DecodeAntennaReferencePoint(payload.substr(0, size))) << c.hex << " " << size;
    }
  }
  EXPECT_FALSE(DecodeAntennaReferencePoint(PayloadFromHex(testframes::kGeonet1033)));
}

TEST(ObservingStationId, ComesFromObservationAndPositionMessagesOnly) {
  const std::vector<unsigned> observing = {1001, 1004, 1005, 1006, 1009, 1012, 1071, 1074,
                                           1077, 1081, 1097, 1107, 1117, 1127, 1131, 1137};
  const std::vector<unsigned> others = {1000, 1007, 1008, 1013, 1019, 1033,
                                        1070, 1078, 1080, 1138, 1230, 4095};
  for (const unsigned number : observing) {
    EXPECT_EQ(ObservingStationId(Payload(number, 2001)), 2001u) << number;
  }
  for (const unsigned number : others) {
    EXPECT_FALSE(ObservingStationId(Payload(number, 2001))) << number;
  }
  EXPECT_FALSE(ObservingStationId(Payload(1077, 2001).substr(0, 2)));
  EXPECT_FALSE(MessageNumber("\x3E"));
  EXPECT_EQ(MessageNumber("\x3E\xD0"), 1005u);
}

TEST(MergeDescriptors, TakesTheFieldsEachMessageCarriesPrintableAndBounded) {
  StationDescriptors descriptors;
  descriptors.receiverType = "kept";
  ASSERT_TRUE(MergeDescriptors(PayloadFromHex(testframes::kGeonet1007), descriptors));
  EXPECT_EQ(descriptors, (StationDescriptors{"TRM59800.00", "", "kept", "", ""}));
  ASSERT_TRUE(MergeDescriptors(PayloadFromHex(testframes::kGeonet1008), descriptors));
  EXPECT_EQ(descriptors, (StationDescriptors{"TRM59800.00", "SCIS", "kept", "", ""}));
  ASSERT_TRUE(MergeDescriptors(PayloadFromHex(testframes::kGeonet1033), descriptors));
  EXPECT_EQ(descriptors,
            (StationDescriptors{"TRM59800.00", "SCIS", "TRIMBLE NETR9", "5.45", "9876"}));
  EXPECT_FALSE(MergeDescriptors(PayloadFromHex(testframes::kGeonet1005), descriptors));

  ASSERT_TRUE(MergeDescriptors(PayloadFromHex(testframes::kControls1033), descriptors));
  // ESC, BEL, TAB, DEL and the C1 character U+009B each become one '?'.
  EXPECT_EQ(descriptors, (StationDescriptors{"ANT?[31m", "SER?X", "REC?TYPE", "FW?1", "SN?2"}));

  // A count above 31: the first 31 bytes are kept and the fields behind are still found.
  const std::string longText(200, 'L');
  const std::string payload = Payload(1008, 5, "\xC8" + longText + std::string("\x00\x02SN", 4));
  ASSERT_TRUE(MergeDescriptors(payload, descriptors));
  EXPECT_EQ(descriptors.antenna, std::string(kMaxDescriptorLength, 'L'));
  EXPECT_EQ(descriptors.antennaSerial, "SN");

  // Cut short anywhere: nothing changes.
  const StationDescriptors before = descriptors;
  const std::string whole = PayloadFromHex(testframes::kGeonet1033);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    EXPECT_FALSE(MergeDescriptors(whole.substr(0, size), descriptors)) << size;
    EXPECT_EQ(descriptors, before) << size;
  }
}

}  // namespace
}  // namespace quillon
