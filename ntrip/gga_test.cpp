#include "ntrip/gga.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Buffer = std::array<char, kUpstreamBufferSize>;

Buffer Block(std::string_view text) {
  Buffer buffer{};
  text.copy(buffer.data(), std::min(text.size(), buffer.size()));
  return buffer;
}

std::string TextOf(const Buffer& buffer) { return std::string(buffer.data()); }

// Sentences from real receivers' logs; their checksums were checked with an independent XOR.
constexpr std::string_view kSirfGga =
    "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n";
constexpr std::string_view kStationGga =
    "$GPGGA,002153.000,3342.6618,N,11751.3858,W,1,10,1.2,27.0,M,-34.2,M,,0000*5E\r\n";
constexpr std::string_view kNoFixGga = "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n";
constexpr std::string_view kRtkGga =
    "$GPGGA,172814.0,3723.46587704,N,12202.26957864,W,2,6,1.2,18.893,M,-25.669,M,2.0,0031*4F\r\n";

TEST(GgaChecksum, MatchesRealReceiversSentences) {
  for (const std::string_view sentence : {kSirfGga, kStationGga, kNoFixGga, kRtkGga}) {
    const std::size_t star = sentence.find('*');
    const int stated = std::stoi(std::string(sentence.substr(star + 1, 2)), nullptr, 16);
    EXPECT_EQ(GgaChecksum(sentence), stated) << sentence;
  }
}

TEST(GgaChecksum, IsZeroWithoutGgaOrStar) {
  EXPECT_EQ(GgaChecksum("$GPRMC,1,2*33"), 0);
  EXPECT_EQ(GgaChecksum("$GPGGA,1,2,3"), 0);
  EXPECT_EQ(GgaChecksum("*$GPGGA,1,2,3"), 0);  // a star only in front does not end the sum
}

// Expected sentences: the position fields written by hand, checksums from an independent XOR.
TEST(OverrideGgaPosition, RewritesOneCompleteSentence) {
  struct Case {
    std::string block;
    double latitude, longitude;
    std::string_view expected;
  };
  const std::vector<Case> cases = {
      {std::string(kSirfGga), 35.5, 139.75,
       "$GPGGA,092750.000,3530.00000,N,13945.00000,E,1,8,1.03,61.7,M,55.2,M,,*62\r\n"},
      {std::string(kSirfGga), -33.8, -70.25,
       "$GPGGA,092750.000,3348.00000,S,7015.00000,W,1,8,1.03,61.7,M,55.2,M,,*5d\r\n"},
      {std::string(kSirfGga), 0.0, 0.0,  // zero takes N and E
       "$GPGGA,092750.000,000.00000,N,000.00000,E,1,8,1.03,61.7,M,55.2,M,,*5d\r\n"},
      // The station field keeps its text in front of the star; the fraction keeps its zeros.
      {std::string(kStationGga), 51.4778, -0.001,
       "$GPGGA,002153.000,5128.66800,N,000.06000,W,1,10,1.2,27.0,M,-34.2,M,,0000*54\r\n"},
      // Empty hemisphere fields of a receiver without fix get their letter.
      {std::string(kNoFixGga), 5.25, 0.0,
       "$GPGGA,,515.00000,N,000.00000,E,0,00,99.99,,,,,,*42\r\n"},
      {std::string(kRtkGga), -90.0, -180.0,
       "$GPGGA,172814.0,9000.00000,S,18000.00000,W,2,6,1.2,18.893,M,-25.669,M,2.0,0031*5a\r\n"},
      // The tail of an earlier sentence (no commas) is dropped; a missing line end is added.
      {"0.9*4A\r\n" + std::string(kSirfGga.substr(0, kSirfGga.size() - 2)), 35.5, 139.75,
       "$GPGGA,092750.000,3530.00000,N,13945.00000,E,1,8,1.03,61.7,M,55.2,M,,*62\r\n"},
  };
  for (const auto& c : cases) {
    Buffer buffer = Block(c.block);
    EXPECT_EQ(OverrideGgaPosition(buffer, c.block.size(), c.latitude, c.longitude), 1) << c.block;
    EXPECT_EQ(TextOf(buffer), c.expected);
  }
}

TEST(OverrideGgaPosition, LeavesBlocksThatDoNotQualifyUnchanged) {
  struct Case {
    std::string block;
    double latitude = 35.5, longitude = 139.75;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {std::string(kSirfGga) + "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"},
      {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1"},  // part of one
      {"$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43\r\n"},
      {"$GNGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*68\r\n"},
      {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,76\r\n"},  // no star
      {"$GPGGA," + std::string(64, '1') + ",5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76"},
      {"$GPGGA" + std::string(300, ',')},  // more field starts than the table holds
      {""},
      {std::string(kSirfGga), 90.5, 0.0},
      {std::string(kSirfGga), 0.0, -180.5},
      {std::string(kSirfGga), nan, 0.0},
      {std::string(kSirfGga), 0.0, inf},
  };
  for (const auto& c : cases) {
    Buffer buffer = Block(c.block);
    const Buffer before = buffer;
    EXPECT_EQ(OverrideGgaPosition(buffer, c.block.size(), c.latitude, c.longitude), 0) << c.block;
    EXPECT_EQ(buffer, before) << c.block;
  }
}

TEST(OverrideGgaPosition, UsesOnlyTheGivenLengthAndAtMost1023Bytes) {
  // Bytes behind `length` are not part of the block: here they would add a sixteenth field.
  Buffer buffer = Block(std::string(kSirfGga) + ",x");
  EXPECT_EQ(OverrideGgaPosition(buffer, kSirfGga.size(), 35.5, 139.75), 1);

  // A full buffer without terminator and an oversized length: the last byte is never read.
  Buffer full;
  full.fill('A');
  std::copy(kSirfGga.begin(), kSirfGga.end(), full.end() - 1 - kSirfGga.size());
  full.back() = ',';
  EXPECT_EQ(OverrideGgaPosition(full, 5000, 35.5, 139.75), 1);
  EXPECT_EQ(TextOf(full).substr(0, 28), "$GPGGA,092750.000,3530.00000");
}

// Field slots hold 63 bytes and the rebuilt sentence at most 255. The position fields below
// already have the rewritten length, so a block's rebuilt sentence is as long as the block.
TEST(OverrideGgaPosition, KeepsTheFieldAndSentenceBounds) {
  // Pads time, fix quality, satellites and HDOP with `pad` bytes each.
  const auto sentence = [](std::array<std::size_t, 4> pad) {
    return "$GPGGA," + std::string(pad[0], '1') + ",3530.00000,N,13945.00000,E," +
           std::string(pad[1], '2') + "," + std::string(pad[2], '3') + "," +
           std::string(pad[3], '4') + ",61.7,M,55.2,M,,*00\r\n";
  };
  const std::size_t toFull = 255 - sentence({0, 0, 0, 0}).size();
  ASSERT_GT(toFull, 3 * 63);
  ASSERT_LT(toFull, 4 * 63);
  struct Case {
    std::string block;
    int result;
  };
  const std::vector<Case> cases = {
      {sentence({63, 1, 1, 1}), 1},
      {sentence({64, 1, 1, 1}), 0},
      {sentence({63, 63, 63, toFull - 189}), 1},
      {sentence({63, 63, 63, toFull - 188}), 0},
  };
  for (const auto& c : cases) {
    Buffer buffer = Block(c.block);
    ASSERT_EQ(OverrideGgaPosition(buffer, c.block.size(), 35.5, 139.75), c.result)
        << c.block.size() << " bytes";
    if (c.result == 1) {
      const std::string text = TextOf(buffer);
      EXPECT_EQ(text.size(), c.block.size());
      EXPECT_EQ(text.substr(0, text.size() - 4), c.block.substr(0, c.block.size() - 4));
      EXPECT_EQ(std::stoi(text.substr(text.size() - 4, 2), nullptr, 16), GgaChecksum(text));
    }
  }
  EXPECT_EQ(cases[2].block.size(), 255u);
}

TEST(SplitGgaFields, SplitsFromTheFirstGgaToTheEnd) {
  std::string text = "$GPRMC,1\r\n$GPGGA,a,,b\r\n$GPGSA,c";
  GgaFieldTable fields{};
  ASSERT_EQ(SplitGgaFields(fields, text), 5u);
  std::vector<std::string> found;
  for (std::size_t i = 0; i < 5; ++i) found.emplace_back(text.data() + fields[i]);
  EXPECT_EQ(found, (std::vector<std::string>{"$GPGGA", "a", "", "b\r\n$GPGSA", "c"}));
  EXPECT_EQ(text.substr(0, 8), "$GPRMC,1");  // commas in front of the sentence stay

  std::string other = "$GPRMC,1,2";
  EXPECT_EQ(SplitGgaFields(fields, other), 0u);
  EXPECT_EQ(other, "$GPRMC,1,2");

  std::string many = "$GPGGA" + std::string(400, ',');
  EXPECT_EQ(SplitGgaFields(fields, many), 401u);
  EXPECT_EQ(fields.back(), 6u + 254u);  // only the first 255 starts are kept
}

TEST(SplitDegrees, TruncatesEachStepAndRefusesAnglesOutOfRange) {
  const DegreeParts parts = SplitDegrees(10.515625);  // 10 deg 30 min 56.25 s
  EXPECT_EQ(parts.degrees, 10);
  EXPECT_EQ(parts.minutes, 30);
  EXPECT_EQ(parts.seconds, 56);
  EXPECT_NEAR(parts.exactSeconds, 56.25, 1e-6);
  for (const double angle : {-1.0, 181.0, std::nan("")}) {
    const DegreeParts none = SplitDegrees(angle);
    EXPECT_TRUE(none.degrees == 0 && none.minutes == 0 && none.seconds == 0 &&
                none.exactSeconds == 0.0)
        << angle;
  }
}

// Expected texts worked out by hand in decimal. Plain truncation would give one unit less for
// 47.3, 8.7, 12.34 and 33.8 (such as 4717.99999).
TEST(GgaCoordinateText, IsTheNearestHundredThousandthOfAMinute) {
  struct Case {
    double degrees;
    std::string_view text;
  };
  const std::vector<Case> cases = {
      {5.25, "515.00000"},           {0.0, "000.00000"},         {0.001, "000.06000"},
      {33.8, "3348.00000"},          {47.3, "4718.00000"},       {8.7, "842.00000"},
      {12.34, "1220.40000"},         {179.99999, "17959.99940"}, {180.0, "18000.00000"},
      {89.9999999999, "9000.00000"},  // 59.999999994 minutes carry into the degrees
  };
  for (const auto& c : cases) EXPECT_EQ(GgaCoordinateText(c.degrees), c.text) << c.degrees;
}

TEST(GgaCoordinateText, StaysWithinHalfAUnitAcrossTheRange) {
  for (double value = 0.0; value <= 180.0; value += 0.0123457) {
    const std::string text = GgaCoordinateText(value);
    const std::size_t dot = text.find('.');
    ASSERT_GE(dot, 3u) << text;
    const int degrees = std::stoi(text.substr(0, dot - 2));
    const double minutes = std::stod(text.substr(dot - 2));
    ASSERT_LT(minutes, 60.0) << text;
    EXPECT_EQ(text.size() - dot, 6u) << text;
    const double errorInUnits = std::fabs((degrees + minutes / 60.0 - value) * 60.0 * 1e5);
    ASSERT_LE(errorInUnits, 0.5 + 1e-6) << value << " -> " << text;
  }
}

}  // namespace
}  // namespace quillon
