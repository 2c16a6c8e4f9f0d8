#include "session/solution_watch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ntrip/nmea_test_sentences.h"
#include "rtcm/framer.h"
#include "rtcm/test_frames.h"
#include "session/stream_watch.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

namespace nmea = testing::nmea;
using nmea::Gga;

struct Said {
  int second;
  std::string phrase;  // what the line must tell the user
};

// Two minutes of a Rover's connection: station 2001's frames each second until `framesUntil`,
// and from the receiver what `receiver` gives for each second.
TEST(SolutionWatch, EachWarningIsSaidOnceWhenItsTimeHasComeAndTheFixIsTimed) {
  const std::string frame = RtcmFrame(testframes::Payload(1077, 2001, std::string(60, 'x')));
  const auto every = [](std::string sentence) { return [sentence](int) { return sentence; }; };
  const std::string fixed = Gga("GN", "4", "14", "0.8", "1.0", "2001");
  const struct {
    const char* name;
    int framesUntil;
    std::function<std::string(int)> receiver;
    std::vector<Said> said;
    std::optional<std::uint32_t> firstFixMs;
    std::uint32_t fixedMs;
  } cases[] = {
      {"fixed", 120, every(fixed), {}, 0, 120'000},
      {"unused", 120, every(Gga("GP", "1", "8", "1.0", "", "")), {{60, "does not use the"}}, {}, 0},
      {"dead reckoning",
       120,
       every(Gga("GP", "6", "", "", "", "")),
       {{60, "does not use the"}},
       {},
       0},
      {"fixed after 42 s",
       120,
       [&](int second) { return second < 42 ? Gga("GN", "5", "9", "1", "2", "2001") : fixed; },
       {},
       42'000,
       79'000},
      {"fix lost",
       120,
       [&](int second) { return second < 30 ? fixed : nmea::kStationGga; },
       {},
       0,
       29'000},
      {"single, station 0", 120, every(nmea::kStationGga), {{60, "does not use the"}}, {}, 0},
      {"corrections stopped", 20, every(Gga("GP", "1", "8", "1.0", "", "")), {}, {}, 0},
      {"old corrections",
       120,
       every(Gga("GP", "2", "8", "1.0", "15", "2001")),
       {{10, "15.0 s old"}},
       {},
       0},
      {"another station",
       120,
       every(Gga("GP", "4", "8", "1.0", "1", "12")),
       {{0, "from station 12, the caster's stream from station 2001"}},
       0,
       120'000},
      {"no GGA, silent caster", -1, every(""), {{30, "No GGA sentence"}}, {}, 0},
      {"no GGA, a stream", 120, every(""), {}, {}, 0},
      {"GGA stops, caster silent",
       -1,
       [&](int second) { return second < 50 ? fixed : ""; },
       {{79, "No GGA sentence"}},
       0,
       78'000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    quillon::testing::VirtualClock clock(0xFFFFF000u);  // the tick wraps on the way
    SessionStatus status;
    StreamWatch watch(StreamSide::kRover);
    watch.Begin(status, clock.TickCount());
    std::vector<Said> said;
    for (int second = 0; second <= 120; ++second, clock.Advance(1000)) {
      if (second <= c.framesUntil) watch.Scan(frame, clock.TickCount());
      watch.TakeFromReceiver(c.receiver(second), clock.TickCount());
      watch.Publish(status, clock.TickCount());
      for (std::size_t i = said.size(); i < status.streamWarnings.size(); ++i) {
        said.push_back({second, status.streamWarnings[i]});
      }
    }
    ASSERT_EQ(said.size(), c.said.size()) << (said.empty() ? "" : said[0].phrase);
    for (std::size_t i = 0; i < said.size(); ++i) {
      EXPECT_EQ(said[i].second, c.said[i].second);
      EXPECT_NE(said[i].phrase.find(c.said[i].phrase), std::string::npos) << said[i].phrase;
    }
    EXPECT_EQ(status.solutionTimes.firstFixMs, c.firstFixMs);
    EXPECT_EQ(status.solutionTimes.fixedMs, c.fixedMs);
    EXPECT_EQ(status.solutionTimes.watchedMs, 120'000u);
  }
}

}  // namespace
}  // namespace quillon
