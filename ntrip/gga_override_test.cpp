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

constexpr double kLatitude = 5.5;
constexpr double kLongitude = -0.5;

// `sentence` at the override position (the sentence rewriting has tests of its own).
std::string Overridden(std::string_view sentence) {
  NmeaSentence out;
  return std::string(out.data(), RewritePositionSentence(sentence, kLatitude, kLongitude, out));
}

// Digits of the real positions in the sentences of nmea_test_sentences.h.
bool HoldsARealPosition(std::string_view sent) {
  for (const std::string_view digits :
       {"5321", "6802", "0630", "3372", "4717", "0833", "4404", "2118", "4332", "7235"}) {
    if (sent.find(digits) != std::string_view::npos) return true;
  }
  return false;
}

// `input` read in two parts cut at each byte, with nothing let go for time.
void ExpectRelayedAtEveryCut(std::string_view name, std::string_view input,
                             std::string_view expected) {
  for (std::size_t cut = 0; cut <= input.size(); ++cut) {
    GgaOverride override;
    std::string sent(override.Pass(input.substr(0, cut), true, kLatitude, kLongitude, 0));
    sent += override.Pass(input.substr(cut), true, kLatitude, kLongitude, 0);
    sent += override.Pass({}, false, 0.0, 0.0, 0);
    ASSERT_EQ(sent, expected) << name << ", cut at " << cut;
  }
}

TEST(GgaOverride, RewritesEverySentenceThatCarriesAPositionAndPassesEveryOtherByte) {
  const std::string binary("\xD3\x00\x13\x3E\xD0\x00\x03\x0A\x2A", 9);  // RTCM, with LF and "*"
  const std::string gllLf = kUbloxGll.substr(0, kUbloxGll.size() - 2) + "\n";
  const std::string ggaBare = kSirfGga.substr(0, kSirfGga.size() - 2);
  const struct {
    const char* name;
    std::string input, expected;
  } cases[] = {
      {"every kind among others and binary",
       binary + kSirfGga + kGsv + kUbloxRmc + binary + kGnGll + kGnGns + kGnRmc + binary,
       binary + Overridden(kSirfGga) + kGsv + Overridden(kUbloxRmc) + binary + Overridden(kGnGll) +
           Overridden(kGnGns) + Overridden(kGnRmc) + binary},
      {"a LF stays a LF", gllLf + gllLf, Overridden(gllLf) + Overridden(gllLf)},
      {"a sentence without line end ends where the next begins",
       ggaBare + kGsv + ggaBare + kSirfGga,
       Overridden(ggaBare) + kGsv + Overridden(ggaBare) + Overridden(kSirfGga)},
      {"heads of other sentences", "$GPG$GPGS$$GPGGA1$PMGNST,1*00\r\n" + kSirfGga,
       "$GPG$GPGS$$GPGGA1$PMGNST,1*00\r\n" + Overridden(kSirfGga)},
  };
  for (const auto& c : cases) ExpectRelayedAtEveryCut(c.name, c.input, c.expected);
}

// Nothing goes of a damaged sentence, nor of the rest of one a line end broke. (Which whole
// sentences are refused is the sentence rewriting's to test.)
TEST(GgaOverride, DropsEveryDamagedSentenceThatMayCarryAPosition) {
  const std::string gga = kSirfGga.substr(0, kSirfGga.size() - 4);  // up to and with the "*"
  const std::string body = gga.substr(0, gga.size() - 1);
  const std::string pad(63, '9');
  const struct {
    const char* name;
    std::string damaged;
    std::string sent = "";
  } cases[] = {
      {"wrong checksum", gga + "77\r\n"},
      {"NUL inside", WithChecksum("$GPGGA,092750.000\0"s + gga.substr(17))},
      {"$ inside", WithChecksum("$GPGGA,092750.000,5321.6802,N,$" + gga.substr(30))},
      {"over 255 bytes",
       WithChecksum(body.substr(0, 45) + pad + "," + pad + "," + pad + ",M," + pad + ",M,,*")},
      {"the position behind the 255th byte",
       WithChecksum("$GPGGA," + std::string(250, '0') + gga.substr(17))},
      {"broken behind the address", "$GPGGA\r\n" + gga.substr(6) + "76\r\n"},
      {"broken in the latitude", gga.substr(0, 25) + "\r\n" + gga.substr(25) + "76\r\n"},
      {"broken by a LF", gga.substr(0, 30) + "\n" + gga.substr(30) + "76\r\n"},
      {"broken twice",
       gga.substr(0, 25) + "\r\n" + gga.substr(25, 10) + "\r" + gga.substr(35) + "76\r\n"},
      {"broken before the star", body + "\r\n*76\r\n"},
      {"broken behind the star", gga + "\r\n76\r\n", "76\r\n"},
      {"broken, and a new sentence begins", gga.substr(0, 25) + "\r\n"},
      // Upstream, "$GPGG" is followed by what follows the dropped sentence.
      {"a head before a dropped sentence, completed by what follows it",
       "$GPGG" + gga + "77\r\nA" + gga.substr(6) + "76\r\n", Overridden(kSirfGga)},
      {"the same, damaged", "$GPGG" + gga + "77\r\nA" + gga.substr(6) + "77\r\n", "$GPGG"},
  };
  for (const auto& c : cases) {
    const std::string input = kGsv + c.damaged + kGsv;
    ExpectRelayedAtEveryCut(c.name, input, kGsv + c.sent + kGsv);
    EXPECT_FALSE(HoldsARealPosition(kGsv + c.sent + kGsv)) << c.name;
  }
}

// Fragments that nothing completes, on the pass's tick count, early and across its wrap.
TEST(GgaOverride, LetsAHeldFragmentGoAfterASecond) {
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
      {"too short to tell: sent, and what completes it later is still rewritten",
       {{"$GPG", 0, ""},
        {"", 999, ""},
        {"", 1000, "$GPG"},
        {kSirfGga.substr(4), 1500, Overridden(kSirfGga).substr(4)}}},
      {"the start of a sentence: dropped, and its late rest with it",
       {{kSirfGga.substr(0, 25), 0, ""}, {"", 1000, ""}, {kSirfGga.substr(25) + kGsv, 5000, kGsv}}},
      {"held since its first byte",
       {{"$GPGGA,0927", 0, ""}, {"50.000,", 900, ""}, {"", 1000, ""}, {kGsv, 1100, kGsv}}},
      {"a complete sentence without line end: rewritten",
       {{ggaBare, 0, ""}, {"", 1000, Overridden(ggaBare)}, {"\r\n", 1100, "\r\n"}}},
      {"a sentence whose LF may follow its CR",
       {{ggaBare + "\r", 0, ""}, {"\n", 900, Overridden(kSirfGga)}}},
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

TEST(GgaOverride, SwitchedOffPassesEverythingAndWhatWasHeld) {
  const std::string damaged = kSirfGga.substr(0, 20) + "\r\n" + kSirfGga.substr(20);
  GgaOverride override;
  EXPECT_EQ(override.Pass(kSirfGga.substr(0, 20), true, kLatitude, kLongitude, 0), "");
  EXPECT_EQ(override.Held(), 20u);
  EXPECT_EQ(override.Pass(kSirfGga.substr(20), false, kLatitude, kLongitude, 0), kSirfGga);
  EXPECT_EQ(override.Held(), 0u);
  EXPECT_EQ(override.Pass(damaged, false, kLatitude, kLongitude, 0), damaged);
}

}  // namespace
}  // namespace quillon
