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

using testing::nmea::Gga;

// The receiver's bytes each second: `before` until `second`, then `after`.
std::function<std::string(int)> Until(int second, std::string before, std::string after) {
  return [=](int s) { return s < second ? before : after; };
}

// Two minutes of a Rover's connection: station 2001's frames each second until `framesUntil`,
// and what `receiver` gives; at most one warning, said at `second`.
TEST(SolutionWatch, EachWarningIsSaidOnceWhenItsTimeHasComeAndTheFixIsTimed) {
  const std::string frame = RtcmFrame(testframes::Payload(1077, 2001, std::string(60, 'x')));
  const std::string fixed = Gga("GN", "4", "14", "0.8", "1.0", "2001");
  const std::string single = Gga("GP", "1", "8", "1.0", "", "");
  const std::string station0 = testing::nmea::kStationGga;  // single too
  const std::string dgps15 = Gga("GP", "2", "8", "1", "15", "2001");
  const std::string station12 = Gga("GP", "4", "8", "1", "1", "12");
  constexpr char kUnused[] = "does not use the corrections";
  const struct {
    const char* name;
    int framesUntil;
    std::function<std::string(int)> receiver;
    int second;  // -1: no warning
    std::string phrase;
    std::optional<std::uint32_t> firstFixMs;
    std::uint32_t fixedMs;
  } cases[] = {
      {"fixed", 120, Until(0, "", fixed), -1, "", 0, 120'000},
      {"unused", 120, Until(0, "", single), 60, kUnused, {}, 0},
      {"dead reckoning", 120, Until(0, "", Gga("GP", "6", "", "", "", "")), 60, kUnused, {}, 0},
      {"fixed after 42 s", 120, Until(42, Gga("GN", "5", "9", "", "", ""), fixed), -1, "", 42'000,
       79'000},
      {"fix lost", 120, Until(30, fixed, station0), -1, "", 0, 29'000},
      {"single, station 0", 120, Until(0, "", station0), 60, kUnused, {}, 0},
      {"corrections stopped", 20, Until(0, "", single), -1, "", {}, 0},
      {"old corrections", 120, Until(0, "", dgps15), 10, "15.0 s old", {}, 0},
      {"another station", 120, Until(0, "", station12), 0, "from station 12, the caster's", 0,
       120'000},
      {"no GGA, silent caster", -1, Until(0, "", ""), 30, "No GGA sentence", {}, 0},
      {"no GGA, a stream", 120, Until(0, "", ""), -1, "", {}, 0},
      {"GGA stops, caster silent", -1, Until(50, fixed, ""), 79, "No GGA sentence", 0, 78'000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    quillon::testing::VirtualClock clock(0xFFFFF000u);  // the tick wraps on the way
    SessionStatus status;
    StreamWatch watch(StreamSide::kRover);
    watch.Begin(status, clock.TickCount());
    std::vector<int> seconds;
    for (int second = 0; second <= 120; ++second, clock.Advance(1000)) {
      if (second <= c.framesUntil) watch.Scan(frame, clock.TickCount());
      watch.TakeFromReceiver(c.receiver(second), clock.TickCount());
      watch.Publish(status, clock.TickCount());
      seconds.resize(status.streamWarnings.size(), second);
    }
    EXPECT_EQ(seconds, c.second < 0 ? std::vector<int>{} : std::vector<int>{c.second});
    for (const std::string& said : status.streamWarnings) {
      EXPECT_NE(said.find(c.phrase), std::string::npos) << said;
    }
    EXPECT_EQ(status.solutionTimes.firstFixMs, c.firstFixMs);
    EXPECT_EQ(status.solutionTimes.fixedMs, c.fixedMs);
    EXPECT_EQ(status.solutionTimes.watchedMs, 120'000u);
  }
}

}  // namespace
}  // namespace quillon
