#include "rtcm/stream_warnings.h"

#include <gtest/gtest.h>

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

// A frame that fails its CRC.
std::string Broken() {
  std::string broken = RtcmFrame(Payload(1097, 2001, "abc"));
  broken[5] ^= 1;
  return broken;
}

// The station's messages and observations, `good` frames in all, and 3 that fail their CRC.
std::string ThreeBrokenIn(int good) {
  std::string frames = kStation;
  for (int i = 2; i < good; ++i) frames += RtcmFrame(Payload(1077, 2001, "obs"));
  return frames + Broken() + Broken() + Broken();
}

struct Said {
  std::uint32_t second;
  Kind kind;
  std::string phrase;  // what the line must tell the user
};

// Forty seconds of a stream, `perSecond` arriving each second from second `from` on.
TEST(StreamWarnings, EachIsSaidOnceWhenItsTimeHasCome) {
  constexpr StreamSide kBase = StreamSide::kBase, kRover = StreamSide::kRover;
  const std::string oneInThree = kMsm + Broken() + kStation;
  const struct {
    const char* name;
    StreamSide side;
    std::string perSecond;
    std::uint32_t from;
    std::vector<Said> said;
  } cases[] = {
      {"a good stream", kBase, kMsm + kStation, 0, {}},
      {"NMEA only", kBase, kGga + kGga, 0, {{10, Kind::kNoFrames, "turn on its RTCM 3"}}},
      // At the wrong baud rate, NMEA's letters turn into bytes with the high bits set.
      {"wrong baud rate", kBase, std::string(500, '\xF8'), 0, {{10, Kind::kNoFrames, "baud"}}},
      {"stray bytes", kBase, std::string("\0\xFF", 2), 0, {{10, Kind::kNoFrames, "(22 bytes)"}}},
      {"CRC failures", kBase, oneInThree, 0, {{4, Kind::kCrcFailures, "check the baud rate"}}},
      // More than 3 % warns: 3 in 99 does, 3 in 100 does not.
      {"3 CRC failures in 99", kBase, ThreeBrokenIn(96), 0, {{0, Kind::kCrcFailures, "(3 %)"}}},
      {"3 CRC failures in 100", kBase, ThreeBrokenIn(97), 0, {}},
      {"no position", kBase, kMsm, 5, {{35, Kind::kNoStationPosition, "1005 or 1006"}}},
      {"no observations", kBase, kStation, 0, {{30, Kind::kNoObservations, "MSM"}}},
      {"a Rover's NMEA", kRover, kGga, 0, {{10, Kind::kNoFrames, "relayed as it is"}}},
      {"a Rover's station messages", kRover, kStation, 0, {}},
      {"a silent Rover's stream", kRover, "", 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::VirtualClock clock(0xFFFFF000u);  // the tick wraps on the way
    const std::uint32_t start = clock.TickCount();
    RtcmScanner scanner;
    StreamWarnings warnings(c.side);
    std::vector<Said> said;
    for (std::uint32_t second = 0; second <= 40; ++second, clock.Advance(1000)) {
      if (second >= c.from) scanner.Scan(c.perSecond, clock.TickCount());
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
