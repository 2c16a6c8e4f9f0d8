#include "ntrip/gga.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "ntrip/gga_override.h"

namespace quillon {
namespace {

using namespace std::string_literals;

// Sentences from real receivers' logs; their checksums were checked with an independent XOR.
const std::string kSirfGga =
    "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n";
const std::string kStationGga =
    "$GPGGA,002153.000,3342.6618,N,11751.3858,W,1,10,1.2,27.0,M,-34.2,M,,0000*5E\r\n";
const std::string kNoFixGga = "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n";
const std::string kRtkGga =
    "$GPGGA,172814.0,3723.46587704,N,12202.26957864,W,2,6,1.2,18.893,M,-25.669,M,2.0,0031*4F\r\n";
const std::string kRmc =
    "$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43\r\n";

// kSirfGga at 35.5, 139.75 and the same under the talker GN, checksums by independent XOR.
const std::string kSirfAt35 =
    "$GPGGA,092750.000,3530.00000,N,13945.00000,E,1,8,1.03,61.7,M,55.2,M,,*62\r\n";
const std::string kGnAt35 =
    "$GNGGA,092750.000,3530.00000,N,13945.00000,E,1,8,1.03,61.7,M,55.2,M,,*7c\r\n";

std::string Rewritten(std::string_view sentence, double latitude, double longitude) {
  GgaSentence out;
  const std::size_t length = RewriteGgaSentence(sentence, latitude, longitude, out);
  return std::string(out.data(), length);
}

// Expected sentences: the position fields written by hand, checksums from an independent XOR.
TEST(RewriteGgaSentence, RewritesTheFifteenFieldsOfOneSentence) {
  struct Case {
    std::string_view sentence;
    double latitude, longitude;
    std::string_view expected;
  };
  const std::vector<Case> cases = {
      {kSirfGga, 35.5, 139.75, kSirfAt35},
      // Rounded to the nearest unit: truncation would give 3347.99999 for 33.8.
      {kSirfGga, -33.8, -70.25,
       "$GPGGA,092750.000,3348.00000,S,7015.00000,W,1,8,1.03,61.7,M,55.2,M,,*5d\r\n"},
      {kSirfGga, 89.9999999999, 179.9999999999,  // 60 minutes carry into the degrees
       "$GPGGA,092750.000,9000.00000,N,18000.00000,E,1,8,1.03,61.7,M,55.2,M,,*6d\r\n"},
      {kSirfGga, 0.0, 0.0,  // zero takes N and E
       "$GPGGA,092750.000,000.00000,N,000.00000,E,1,8,1.03,61.7,M,55.2,M,,*5d\r\n"},
      // The station field keeps its text in front of the star; the fraction keeps its zeros.
      {kStationGga, 51.4778, -0.001,
       "$GPGGA,002153.000,5128.66800,N,000.06000,W,1,10,1.2,27.0,M,-34.2,M,,0000*54\r\n"},
      // Empty hemisphere fields of a receiver without fix get their letter.
      {kNoFixGga, 5.25, 0.0, "$GPGGA,,515.00000,N,000.00000,E,0,00,99.99,,,,,,*42\r\n"},
      {kRtkGga, -90.0, -180.0,
       "$GPGGA,172814.0,9000.00000,S,18000.00000,W,2,6,1.2,18.893,M,-25.669,M,2.0,0031*5a\r\n"},
      // Other talkers, and a sentence whose line end has not been written.
      {"$GNGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*68", 35.5, 139.75,
       kGnAt35},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rewritten(c.sentence, c.latitude, c.longitude), c.expected) << c.sentence;
  }

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::string sentence;
    double latitude = 35.5, longitude = 139.75;
  } refused[] = {
      {kSirfGga + "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"},
      {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1"},
      {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,76\r\n"},  // no star
      {"$GPGGA," + std::string(64, '1') + ",5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76"},
      {"$GPGGA,0927\0.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n"s},
      {kSirfGga, 90.5, 0.0},
      {kSirfGga, 0.0, -180.5},
      {kSirfGga, nan, 0.0},
      {kSirfGga, 0.0, inf},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(Rewritten(r.sentence, r.latitude, r.longitude), "") << r.sentence;
  }
}

// Field slots hold 63 bytes and the rebuilt sentence at most 255. The position fields below
// already have the rewritten length, so a rebuilt sentence is as long as the sentence.
TEST(RewriteGgaSentence, KeepsTheFieldAndSentenceBounds) {
  // Pads time, fix quality, satellites and HDOP with `pad` bytes each.
  const auto sentence = [](std::array<std::size_t, 4> pad) {
    return "$GPGGA," + std::string(pad[0], '1') + ",3530.00000,N,13945.00000,E," +
           std::string(pad[1], '2') + "," + std::string(pad[2], '3') + "," +
           std::string(pad[3], '4') + ",61.7,M,55.2,M,,*00\r\n";
  };
  const std::size_t toFull = 255 - sentence({0, 0, 0, 0}).size();
  const struct {
    std::string sentence;
    bool rewritten;
  } cases[] = {
      {sentence({63, 1, 1, 1}), true},
      {sentence({64, 1, 1, 1}), false},
      {sentence({63, 63, 63, toFull - 189}), true},
      {sentence({63, 63, 63, toFull - 188}), false},
  };
  for (const auto& c : cases) {
    const std::string text = Rewritten(c.sentence, 35.5, 139.75);
    ASSERT_EQ(!text.empty(), c.rewritten) << c.sentence.size() << " bytes";
    if (c.rewritten) {
      EXPECT_EQ(text.substr(0, text.size() - 4), c.sentence.substr(0, c.sentence.size() - 4));
      EXPECT_EQ(std::stoi(text.substr(text.size() - 4, 2), nullptr, 16), GgaChecksum(text));
    }
  }
  EXPECT_EQ(cases[2].sentence.size(), 255u);
}

// With the override on, every GGA sentence is rewritten in place and every other byte passes.
TEST(GgaOverride, RewritesEveryGgaInPlaceAndPassesEveryOtherByte) {
  const std::string binary("\xD3\x00\x13\x3E\xD0\x00\x03", 7);
  const struct {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> sent;  // per read
  } cases[] = {
      {"two sentences in one read", {kSirfGga + kSirfGga}, {kSirfAt35 + kSirfAt35}},
      {"GGA then RMC, RMC then GGA",
       {kSirfGga + kRmc, kRmc + kSirfGga},
       {kSirfAt35 + kRmc, kRmc + kSirfAt35}},
      {"multi-constellation talker",
       {"$GNGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*68\r\n"},
       {kGnAt35}},
      {"binary output with NUL bytes around a sentence",
       {binary + kSirfGga + binary, binary},
       {binary + kSirfAt35 + binary, binary}},
      {"a sentence cut between reads is held back until complete",
       {kRmc + kSirfGga.substr(0, 30), kSirfGga.substr(30) + "$GP", "GGA" + kSirfGga.substr(6)},
       {kRmc, kSirfAt35, kSirfAt35}},
      // Neither a '$' that cannot begin a GGA nor a line too long to be a sentence is held.
      {"not held", {"$GPRM", "C,1*00\r\n"}, {"$GPRM", "C,1*00\r\n"}},
      {"too long",
       {"$GPGGA," + std::string(300, 'x'), "\r\n"},
       {"$GPGGA," + std::string(300, 'x'), "\r\n"}},
  };
  for (const auto& c : cases) {
    GgaOverride override;
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
      EXPECT_EQ(override.Pass(c.reads[i], true, 35.5, 139.75), c.sent[i]) << c.name << " " << i;
    }
    EXPECT_EQ(override.Held(), 0u) << c.name;
  }
}

TEST(GgaOverride, SwitchedOffPassesEverythingAndWhatWasHeld) {
  GgaOverride override;
  EXPECT_EQ(override.Pass(kSirfGga.substr(0, 20), true, 35.5, 139.75), "");
  EXPECT_EQ(override.Held(), 20u);
  EXPECT_EQ(override.Pass(kSirfGga.substr(20), false, 35.5, 139.75), kSirfGga);
  EXPECT_EQ(override.Held(), 0u);
}

}  // namespace
}  // namespace quillon
