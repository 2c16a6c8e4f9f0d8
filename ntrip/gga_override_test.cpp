#include "ntrip/gga_override.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ntrip/nmea_test_sentences.h"
#include "ntrip/position_sentence.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using namespace testing::nmea;

// `input` read in two parts cut at each byte, then a silent second that lets go what is held.
void ExpectRelayedAtEveryCut(std::string_view name, std::string_view input,
                             std::string_view expected) {
  for (std::size_t cut = 0; cut <= input.size(); ++cut) {
    GgaOverride override;
    std::string sent(override.Pass(input.substr(0, cut), true, kLatitude, kLongitude, 0));
    sent += override.Pass(input.substr(cut), true, kLatitude, kLongitude, 0);
    sent += override.Pass({}, true, kLatitude, kLongitude, kHeldFragmentLimitMs);
    ASSERT_EQ(sent, expected) << name << ", cut at " << cut;
  }
}

enum class Upstream { kRewritten, kAsItCame, kDropped };

// Receivers' sentences as their manuals print them (checksums checked by XOR in Python).
TEST(GgaOverride, SendsOnlySentencesItRewroteOrKnowsToHoldNoPositionOrAllWhenOff) {
  const std::string gga = kSirfGga.substr(0, kSirfGga.size() - 4);  // up to and with the "*"
  const std::string pad(63, '9');
  const struct {
    const char* name;
    std::string input;
    Upstream upstream;
  } cases[] = {
      {"GGA", kSirfGga, Upstream::kRewritten},
      {"RMC", kUbloxRmc, Upstream::kRewritten},
      {"GLL of GNSS", kGnGll, Upstream::kRewritten},
      {"GNS", kGnGns, Upstream::kRewritten},
      {"a LF alone", kUbloxGll.substr(0, kUbloxGll.size() - 2) + "\n", Upstream::kRewritten},
      // Without line end, it ends where the next begins.
      {"no line end", kSirfGga.substr(0, kSirfGga.size() - 2), Upstream::kRewritten},
      {"GSV", kGsv, Upstream::kAsItCame},
      {"GSA", "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n", Upstream::kAsItCame},
      {"VTG", "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n", Upstream::kAsItCame},
      {"ZDA", "$GPZDA,201530.00,04,07,2002,00,00*60\r\n", Upstream::kAsItCame},
      {"GST", "$GPGST,172814.0,0.006,0.023,0.020,273.6,0.023,0.020,0.031*6A\r\n",
       Upstream::kAsItCame},
      {"GBS", "$GPGBS,015509.00,-0.031,-0.186,0.219,19,0.000,-0.354,6.972*4D\r\n",
       Upstream::kAsItCame},
      {"u-blox position",
       "$PUBX,00,081350.00,4717.113210,N,00833.915187,E,546.589,G3,2.1,2.0,0.007,77.52,0.007,,"
       "0.92,1.19,0.77,9,0,0*5F\r\n",
       Upstream::kDropped},
      {"Trimble position",
       "$PTNL,GGK,102939.00,051910,5000.97323841,N,00827.62010742,E,5,09,1.9,EHT150.790,M*73\r\n",
       Upstream::kDropped},
      {"proprietary without a position", "$PGRME,15.0,M,45.0,M,25.0,M*1C\r\n", Upstream::kDropped},
      {"proprietary shaped as GSA", "$PXGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*26\r\n",
       Upstream::kDropped},
      {"a waypoint", "$GPWPL,4807.038,N,01131.000,E,WPTNME*5C\r\n", Upstream::kDropped},
      {"text", "$GPTXT,01,01,02,u-blox ag - www.u-blox.com*50\r\n", Upstream::kDropped},
      {"GSV in small letters", WithChecksum("$gpgsv" + kGsv.substr(6, kGsv.size() - 10)),
       Upstream::kDropped},
      {"GSV, wrong checksum", kGsv.substr(0, kGsv.size() - 4) + "75\r\n", Upstream::kDropped},
      {"RTCM with a LF and a star", "\xD3\x00\x13\x3E\xD0\x00\x03\x0A\x2A"s, Upstream::kDropped},
      {"u-blox binary", "\xB5\x62\x01\x07\x5C\x00$GPGGA"s, Upstream::kDropped},
      {"heads of sentences", "$GPG$GPGS$$GPGGA1$PMGNST,1*00\r\n", Upstream::kDropped},
      {"GGA, wrong checksum", gga + "77\r\n", Upstream::kDropped},
      {"GGA, NUL inside", WithChecksum("$GPGGA,092750.000\0"s + gga.substr(17)),
       Upstream::kDropped},
      {"GGA, $ inside", WithChecksum("$GPGGA,092750.000,5321.6802,N,$" + gga.substr(30)),
       Upstream::kDropped},
      {"GGA over 255 bytes",
       WithChecksum(gga.substr(0, 45) + pad + "," + pad + "," + pad + ",M," + pad + ",M,,*"),
       Upstream::kDropped},
      {"GGA broken twice",
       gga.substr(0, 25) + "\r\n" + gga.substr(25, 10) + "\r" + gga.substr(35) + "76\r\n",
       Upstream::kDropped},
      {"GGA broken behind the star", gga + "\r\n76\r\n", Upstream::kDropped},
  };
  std::string all;
  std::string allSent;
  for (const auto& c : cases) {
    const std::string sent = c.upstream == Upstream::kRewritten  ? Rewritten(c.input)
                             : c.upstream == Upstream::kAsItCame ? c.input
                                                                 : "";
    ASSERT_TRUE(c.upstream != Upstream::kRewritten || !sent.empty()) << c.name;
    ExpectRelayedAtEveryCut(c.name, c.input, sent);
    all += c.input;
    allSent += sent;
  }
  ExpectRelayedAtEveryCut("all in a row", all, allSent);
  // Switched off it passes everything, and what it held.
  const std::string damaged = kSirfGga.substr(0, 20) + "\r\n\xB5\x62" + kSirfGga.substr(20);
  GgaOverride off;
  EXPECT_EQ(off.Pass(kSirfGga.substr(0, 20), true, kLatitude, kLongitude, 0), "");
  EXPECT_EQ(off.Held(), 20u);
  EXPECT_EQ(off.Pass(kSirfGga.substr(20), false, kLatitude, kLongitude, 0), kSirfGga);
  EXPECT_EQ(off.Held(), 0u);
  EXPECT_EQ(off.Pass(damaged, false, kLatitude, kLongitude, 0), damaged);
}

// Sentences that nothing ends, on the pass's tick count, early and across its wrap.
TEST(GgaOverride, LetsAHeldSentenceGoAfterASecond) {
  const std::string ggaBare = kSirfGga.substr(0, kSirfGga.size() - 2);
  struct Step {
    std::string read;
    std::uint32_t afterMs;  // since the case's start
    std::string sent;
  };
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"the start of a sentence: dropped, and its late rest with it",
       {{kSirfGga.substr(0, 25), 0, ""}, {"", 1000, ""}, {kSirfGga.substr(25) + kGsv, 5000, kGsv}}},
      {"held since its first byte",
       {{"$GPGGA,0927", 0, ""}, {"50.000,", 900, ""}, {"", 1000, ""}, {kGsv, 1100, kGsv}}},
      {"a complete sentence without line end: rewritten, its late line end dropped",
       {{ggaBare, 0, ""}, {"", 1000, Rewritten(ggaBare)}, {"\r\n", 1100, ""}}},
      {"a sentence whose LF may follow its CR",
       {{ggaBare + "\r", 0, ""}, {"\n", 900, Rewritten(kSirfGga)}}},
      {"the next sentence held from its own start",
       {{ggaBare, 0, ""},
        {"$GPGS", 900, Rewritten(ggaBare)},
        {"", 1000, ""},
        {kGsv.substr(5), 1100, kGsv}}},
  };
  for (const std::uint32_t start : {1000u, 0xFFFFFE00u}) {
    for (const auto& c : cases) {
      GgaOverride override;
      for (const Step& step : c.steps) {
        EXPECT_EQ(override.Pass(step.read, true, kLatitude, kLongitude, start + step.afterMs),
                  step.sent)
            << c.name << " at " << step.afterMs << " ms from " << start;
      }
      EXPECT_EQ(override.Held(), 0u) << c.name;
    }
  }
}

}  // namespace
}  // namespace quillon
