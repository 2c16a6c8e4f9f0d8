#include "ntrip/gga_pace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntrip/nmea_test_sentences.h"

namespace quillon {
namespace {

namespace nmea = testing::nmea;

// A distinct, valid GGA sentence for each number (its altitude).
std::string Gga(int n) {
  return nmea::WithChecksum("$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03," +
                            std::to_string(n) + ",M,55.2,M,,*");
}

struct Arrival {
  std::uint32_t tick;  // ms after the first
  std::string block;
};

std::vector<Arrival> Sentences(const std::vector<std::uint32_t>& ticks) {
  std::vector<Arrival> arrivals;
  for (std::size_t n = 0; n < ticks.size(); ++n) {
    arrivals.push_back({ticks[n], Gga(static_cast<int>(n))});
  }
  return arrivals;
}

std::vector<std::uint32_t> Every(std::uint32_t ms, std::uint32_t until) {
  std::vector<std::uint32_t> ticks;
  for (std::uint32_t t = 0; t <= until; t += ms) ticks.push_back(t);
  return ticks;
}

TEST(GgaPace, OneGgaPerIntervalOnAScheduleAndNothingElse) {
  const std::string gnGga = nmea::WithChecksum(
      "$GNGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*");
  const std::string damaged = nmea::kSirfGga.substr(0, 20) + "X" + nmea::kSirfGga.substr(21);
  const struct {
    const char* name;
    std::uint32_t intervalMs;
    std::vector<Arrival> arrivals;
    std::string expected;
  } cases[] = {
      {"a 1 Hz receiver early or late: every one", 1000,
       Sentences({0, 998, 2103, 2899, 4001}), Gga(0) + Gga(1) + Gga(2) + Gga(3) + Gga(4)},
      // Due at 1000, 2000, 3000, each taken up to 250 ms early: no drift, no second one.
      {"a 20 Hz receiver: one a second", 1000, Sentences(Every(50, 3000)),
       Gga(0) + Gga(15) + Gga(35) + Gga(55)},
      {"every other of a 1 Hz receiver's", 2000, Sentences(Every(1000, 6000)),
       Gga(0) + Gga(2) + Gga(4) + Gga(6)},
      // The turn due at 2000 long past: the next is due 2 s after the late one.
      {"after a gap the schedule starts again", 2000, Sentences({0, 7000, 8000, 9000}),
       Gga(0) + Gga(1) + Gga(3)},
      {"only whole, well-formed GGA of any talker", 1000,
       {{0, nmea::kGsv + nmea::kUbloxRmc + damaged + std::string("\xD3\x00\x13\n", 4) +
                nmea::kNoFixGga.substr(0, 9)},
        {10, nmea::kNoFixGga.substr(9) + nmea::kGnGns},
        {2000, "$GPGGA,no" + nmea::kSirfGga + "\r\n" + gnGga}},
       nmea::kNoFixGga + nmea::kSirfGga},
      {"a sentence longer than any is dropped", 1000,
       {{0, nmea::kSirfGga.substr(0, 40) + std::string(300, '1') + nmea::kSirfGga.substr(40)},
        {1000, gnGga}},
       gnGga},
  };
  // Counted from two places of the tick counter: early, and across its wrap.
  for (const std::uint32_t start : {0u, 0xFFFF'FC00u}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      GgaPace pace(c.intervalMs);
      std::string sent;
      for (const Arrival& arrival : c.arrivals) sent += pace.Pass(arrival.block, start + arrival.tick);
      EXPECT_EQ(sent, c.expected) << start;
    }
  }
}

}  // namespace
}  // namespace quillon
