#include "rtcm/stream_warnings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rtcm/framer.h"
#include "rtcm/rtcm_scanner.h"
#include "rtcm/test_frames.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testframes::Bytes;
using testframes::Payload;
using Kind = StreamWarningKind;

const std::string kMsm = RtcmFrame(Payload(1077, 2001, std::string(120, '\x5A'))) +
                         RtcmFrame(Payload(1087, 2001, std::string(90, '\x3C')));
const std::string kStation = Bytes(testframes::kGeonet1005) + Bytes(testframes::kGeonet1033);
const std::string kGga =
    "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n";

std::string MsmWithABrokenFrame() {
  std::string broken = RtcmFrame(Payload(1097, 2001, "abc"));
  broken[5] ^= 1;
  return kMsm + broken;
}

// What a wrong baud rate makes of a stream: bytes without pattern.
std::string Noise() {
  static std::uint32_t state = 7;
  std::string bytes;
  for (int i = 0; i < 1000; ++i) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    bytes.push_back(static_cast<char>(state));
  }
  return bytes;
}

struct Said {
  std::uint32_t second;
  Kind kind;
  std::string phrase;  // what the line must tell the user
};

// Forty seconds of a stream, `second(s)` arriving in second s; the warnings with the second
// they were given in.
TEST(StreamWarnings, EachIsSaidOnceWhenItsTimeHasCome) {
  const struct {
    const char* name;
    StreamSide side;
    std::function<std::string(std::uint32_t)> second;
    std::vector<Said> said;
  } cases[] = {
      {"a good stream", StreamSide::kBase, [](auto) { return kMsm + kStation; }, {}},
      {"NMEA only",
       StreamSide::kBase,
       [](auto) { return kGga + kGga; },
       {{10, Kind::kNoFrames, "NMEA"}}},
      {"wrong baud rate",
       StreamSide::kBase,
       [](auto) { return Noise(); },
       {{10, Kind::kNoFrames, "baud rate"}}},
      {"a few stray bytes",
       StreamSide::kBase,
       [](auto) { return std::string("\0\xFF", 2); },
       {{10, Kind::kNoFrames, "(22 bytes)"}}},
      {"frames failing their CRC",
       StreamSide::kBase,
       [](auto) { return MsmWithABrokenFrame() + kStation; },
       {{4, Kind::kCrcFailures, "check the baud rate"}}},
      {"no station position, from 5 s on",
       StreamSide::kBase,
       [](std::uint32_t s) { return s < 5 ? std::string() : kMsm; },
       {{35, Kind::kNoStationPosition, "1005 or 1006"}}},
      {"no observations",
       StreamSide::kBase,
       [](auto) { return kStation; },
       {{30, Kind::kNoObservations, "MSM"}}},
      {"a Rover's stream of NMEA",
       StreamSide::kRover,
       [](auto) { return kGga; },
       {{10, Kind::kNoFrames, "relayed as it is"}}},
      {"a Rover's stream of station messages",
       StreamSide::kRover,
       [](auto) { return kStation; },
       {}},
      {"a silent Rover's stream", StreamSide::kRover, [](auto) { return std::string(); }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::VirtualClock clock(0xFFFFF000u);  // the tick wraps on the way
    const std::uint32_t start = clock.TickCount();
    RtcmScanner scanner;
    StreamWarnings warnings(c.side);
    std::vector<Said> said;
    for (std::uint32_t second = 0; second <= 40; ++second, clock.Advance(1000)) {
      scanner.Scan(c.second(second), clock.TickCount());
      for (const StreamWarning& warning :
           warnings.Due(scanner.Summary(clock.TickCount()), clock.TickCount() - start)) {
        said.push_back({second, warning.kind, warning.text});
      }
    }
    ASSERT_EQ(said.size(), c.said.size()) << (said.empty() ? "" : said[0].phrase);
    for (std::size_t i = 0; i < said.size(); ++i) {
      EXPECT_EQ(said[i].second, c.said[i].second);
      EXPECT_EQ(said[i].kind, c.said[i].kind);
      EXPECT_NE(said[i].phrase.find(c.said[i].phrase), std::string::npos) << said[i].phrase;
    }
  }
}

}  // namespace
}  // namespace quillon
