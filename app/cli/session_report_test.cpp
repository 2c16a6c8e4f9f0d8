#include "app/cli/session_report.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "app/cli/command_test_fixture.h"
#include "app/cli/service_notifier.h"

namespace quillon::cli {
namespace {

SessionState State(SessionPhase phase, int attempt, std::string retryText = {}) {
  SessionState state;
  state.phase = phase;
  state.attempt = attempt;
  state.attempts = 15;
  state.retryText = std::move(retryText);
  state.counters.running = true;
  return state;
}

std::string Countdown(int attempt, int seconds) {
  return "Retry attempt " + std::to_string(attempt) + "/15 in " + std::to_string(seconds) +
         " seconds. Authentication credentials were rejected or ignored.";
}

// A Base refused once, then uploading 100 B/s, reported each second of the virtual clock.
TEST(SessionReporter, ALogATerminalAndTheServiceManagerEachGetTheirOwnLines) {
  quillon::testing::VirtualClock clock;
  RecordingNotifier service;
  std::FILE* log = std::tmpfile();
  std::FILE* terminal = std::tmpfile();
  std::FILE* unused = std::tmpfile();
  SessionReporter reporters[] = {{{log, false}, "Uploading"},
                                 {{terminal, true}, "Uploading"},
                                 {{unused, false, &service, 30'000}, "Uploading"}};
  const auto report = [&](const SessionState& state) {
    for (SessionReporter& r : reporters) r.Report(state, clock.TickCount(), clock.TickCount());
    clock.Advance(1000);
  };
  report(State(SessionPhase::kConnecting, 0));  // before the worker's first attempt
  for (int i = 0; i < 4; ++i) report(State(SessionPhase::kConnecting, 1));
  // What the caster said comes once, however long the countdown that shows it.
  const std::string said = "The caster replied \"ERROR - Bad Password\".";
  for (int s = 60; s > 0; --s) {
    SessionState state = State(SessionPhase::kWaitingToRetry, 1, Countdown(2, s));
    state.detail = said;
    report(state);
  }
  report(State(SessionPhase::kConnecting, 2));
  SessionSnapshot last;
  for (int s = 0; s < 150; ++s) {
    // The caster stays connected while the receiver goes and comes back, then stalls a second.
    SessionState state = State(s == 130   ? SessionPhase::kReceiverLost
                               : s == 140 ? SessionPhase::kReceiverStalled
                                          : SessionPhase::kConnected,
                               2);
    state.counters.elapsedSeconds = s;
    state.counters.rate = 100;
    state.counters.total = 100 * s;
    report(state);
    last = state.counters;
  }
  for (SessionReporter& r : reporters) {
    r.Stopping();
    r.Ended(SessionEnd::kStopAsked, last);
  }
  EXPECT_EQ(Lines(Contents(log)), (std::vector<std::string>{
                                      "Connecting to the caster.",
                                      said,
                                      Countdown(2, 60),
                                      "Attempt 2/15: connecting to the caster.",
                                      "Connected to the caster.",
                                      "00:01:00 100 B/s 6000 bytes",
                                      "00:02:00 100 B/s 12000 bytes",
                                      "The receiver has gone; its link is being opened again "
                                      "(still connected to the caster).",
                                      "The receiver is back.",
                                      "The receiver is not taking data (still connected to the "
                                      "caster).",
                                      "The receiver takes data again.",
                                      "Stopped (connected 00:02:29, 14900 bytes).",
                                  }));
  const std::vector<std::string> lines = Lines(Contents(terminal));
  ASSERT_EQ(lines.size(), 5u + 1u + 60u + 1u + 150u);
  EXPECT_EQ(lines[0], "00:00:00 0 B/s 0 bytes");
  EXPECT_EQ(lines[5], said);
  EXPECT_EQ(lines[65], Countdown(2, 1));
  EXPECT_EQ(lines.back(), "00:02:29 100 B/s 14900 bytes");
  // Ready, each new status (a retry with what happened), the watchdog every 15 s, the stop.
  ASSERT_EQ(service.sent.size(), 1u + 60u + 1u + 150u + 1u);
  EXPECT_EQ(service.sent[0], "READY=1\nSTATUS=Connecting to the caster.\nWATCHDOG=1");
  EXPECT_EQ(service.sent[1], "STATUS=" + Countdown(2, 60) + " " + said);  // at 5 s
  EXPECT_EQ(service.sent[11],
            "STATUS=" + Countdown(2, 50) + " " + said + "\nWATCHDOG=1");  // at 15 s
  EXPECT_EQ(service.sent[61], "STATUS=Attempt 2/15: connecting to the caster.");
  EXPECT_EQ(service.sent[service.sent.size() - 2],
            "STATUS=Uploading: 14900 bytes, 100 B/s, connected 00:02:29");
  EXPECT_EQ(service.sent.back(), "STOPPING=1");
  for (std::FILE* file : {log, terminal, unused}) std::fclose(file);
}

// Each warning about the stream is printed once and stays in the service status; the receiver's
// solution is on the live line and in the status, and a log has a line for each change of fix.
TEST(SessionReporter, TheStreamsContentsAndEachWarningAreShownWhereTheUserLooks) {
  RecordingNotifier service;
  std::FILE* terminal = std::tmpfile();
  std::FILE* log = std::tmpfile();
  std::FILE* unused = std::tmpfile();
  SessionReporter reporters[] = {{{terminal, true}, "Relaying"},
                                 {{log, false}, "Relaying"},
                                 {{unused, false, &service}, "Relaying"}};
  SessionState state = State(SessionPhase::kConnected, 0);
  state.counters.streamLine = "RTCM 3: 1005 (0.10/s), station 2001";
  const ReceiverSolution single{FixQuality::kSingle, 8, 1.1, {}, {}};
  const ReceiverSolution fixed{FixQuality::kRtkFixed, 14, 0.8, 1.0, 2001};
  for (int second = 0; second < 4; ++second) {
    if (second == 1) state.counters.streamWarnings = {"No station position in 30 s."};
    state.counters.solution = second < 2 ? single : fixed;
    for (SessionReporter& r : reporters) r.Report(state, 1000u * second, 1000u * second);
  }
  state.counters.solutionTimes = {true, 100'000, 58'500, 42'999};
  for (SessionReporter& r : reporters) r.Ended(SessionEnd::kStopAsked, state.counters);
  const std::string line = "00:00:00 0 B/s 0 bytes  RTCM 3: 1005 (0.10/s), station 2001  ";
  EXPECT_EQ(
      Lines(Contents(terminal)),
      (std::vector<std::string>{line + "single, 8 sats", "Warning: No station position in 30 s.",
                                line + "single, 8 sats", line + "RTK fixed, 14 sats, age 1.0 s",
                                line + "RTK fixed, 14 sats, age 1.0 s"}));
  EXPECT_EQ(Lines(Contents(log)),
            (std::vector<std::string>{
                "Connected to the caster.", "Receiver: single, 8 sats.",
                "Warning: No station position in 30 s.", "Receiver: RTK fixed, 14 sats, age 1.0 s.",
                "Stopped (connected 00:00:00, 0 bytes; first fix after 00:00:42, RTK fixed 58 % of "
                "the time)."}));
  ASSERT_EQ(service.sent.size(), 3u);
  EXPECT_EQ(service.sent[2],
            "STATUS=Relaying: 0 bytes, 0 B/s, connected 00:00:00; RTCM 3: 1005 (0.10/s), station "
            "2001; RTK fixed, 14 sats, age 1.0 s; No station position in 30 s.");
  EXPECT_EQ(FixSummary({true, 5000, 0, {}}), "; no RTK fixed");
  EXPECT_EQ(FixSummary({}), "");
  for (std::FILE* file : {terminal, log, unused}) std::fclose(file);
}

// WatchdogSec=3min: fed every 90 s; a worker silent for the whole interval starves it.
TEST(SessionReporter, FeedsTheWatchdogAtHalfItsIntervalOnlyWhileTheWorkerShowsLife) {
  quillon::testing::VirtualClock clock(0xFFFF'F000);  // across the tick counter's wrap
  RecordingNotifier service;
  std::FILE* out = std::tmpfile();
  SessionReporter reporter({out, false, &service, 180'000}, "Relaying");
  const SessionState state = State(SessionPhase::kConnected, 0);
  constexpr int kStuckAt = 400;  // seconds
  std::uint32_t lastLife = 0;
  std::vector<int> fedAt;
  for (int s = 0; s <= 700; ++s) {
    // A worker that noted a tick after the front end read its own is as alive as can be.
    if (s <= kStuckAt) lastLife = clock.TickCount() + (s == 0 ? 5 : 0);
    const std::size_t before = service.sent.size();
    reporter.Report(state, clock.TickCount(), lastLife);
    if (service.sent.size() > before && service.sent.back().ends_with("WATCHDOG=1")) {
      fedAt.push_back(s);
    }
    clock.Advance(1000);
  }
  // At 630 s the worker has been silent for 230 s, more than the interval.
  EXPECT_EQ(fedAt, (std::vector<int>{0, 90, 180, 270, 360, 450, 540}));
  std::fclose(out);
  // The interval only for this process and only from a usable number.
  for (const char* pid : {static_cast<const char*>(nullptr), "4242"}) {
    EXPECT_EQ(WatchdogIntervalMs("180000000", pid, 4242), 180'000u);
  }
  for (const char* pid : {"4243", "x"}) {
    EXPECT_EQ(WatchdogIntervalMs("180000000", pid, 4242), std::nullopt) << pid;
  }
  EXPECT_EQ(WatchdogIntervalMs(nullptr, "4242", 4242), std::nullopt);
  for (const char* usec : {"", "12s", "999", "-5000000", "99999999999999999999"}) {
    EXPECT_EQ(WatchdogIntervalMs(usec, nullptr, 4242), std::nullopt) << usec;
  }
}

// Months of upload: 24 days of 1 kB/s is a total a 32-bit counter showed as -2146967296.
TEST(SessionReporter, TotalsPast32BitsAndConnectTimesPastADayAreShownWhole) {
  constexpr std::int64_t kDay = 86400;
  const struct {
    std::int64_t seconds, rate, total;
    std::string line;
  } cases[] = {
      {kDay + 3723, 1024, (std::int64_t{1} << 32) + 5, "1d 01:02:03 1024 B/s 4294967301 bytes"},
      {24 * kDay + 6 * 3600, 1024, 2'148'000'000, "24d 06:00:00 1024 B/s 2148000000 bytes"},
      {123 * kDay + 14706, 3'000'000'000, 10'886'400'000'000,
       "123d 04:05:06 3000000000 B/s 10886400000000 bytes"},
  };
  SessionState state = State(SessionPhase::kConnected, 1);
  for (const auto& c : cases) {
    state.counters.elapsedSeconds = c.seconds;
    state.counters.rate = c.rate;
    state.counters.total = c.total;
    EXPECT_EQ(StatusLine(state.counters), c.line);
  }
  RecordingNotifier service;
  std::FILE* log = std::tmpfile();
  SessionReporter reporter({log, false, &service, std::nullopt}, "Uploading");
  reporter.Report(state, 0, 0);
  reporter.Ended(SessionEnd::kStopAsked, state.counters);
  EXPECT_EQ(service.sent,
            std::vector<std::string>{"READY=1\nSTATUS=Uploading: 10886400000000 bytes, "
                                     "3000000000 B/s, connected 123d 04:05:06"});
  EXPECT_EQ(Lines(Contents(log)).back(),
            "Stopped (connected 123d 04:05:06, 10886400000000 bytes).");
  std::fclose(log);
}

std::string Receive(int fd) {
  char buffer[512];
  const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  return n < 0 ? "(nothing)" : std::string(buffer, static_cast<std::size_t>(n));
}

TEST(ServiceNotifier, SendsEachStateAsOneDatagramToAPathOrAnAbstractSocket) {
  const quillon::testing::TempFolder folder;
  for (const std::string& name :
       {(folder.Path() / "notify").string(), "@quillon-test-" + std::to_string(getpid())}) {
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name.front() == '@') address.sun_path[0] = '\0';  // abstract
    ASSERT_EQ(bind(manager, reinterpret_cast<const sockaddr*>(&address),
                   static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size())),
              0);
    const auto notifier = MakeServiceNotifier(name);
    ASSERT_NE(notifier, nullptr) << name;
    notifier->Notify("READY=1\nSTATUS=Connecting to the caster.");
    notifier->Notify("WATCHDOG=1");
    EXPECT_EQ(Receive(manager), "READY=1\nSTATUS=Connecting to the caster.");
    EXPECT_EQ(Receive(manager), "WATCHDOG=1");
    close(manager);
  }
  for (const std::string& unusable : {std::string(), std::string("relative/notify"),
                                      std::string("@"), "/" + std::string(200, 'x')}) {
    EXPECT_EQ(MakeServiceNotifier(unusable), nullptr) << unusable;
  }
}

}  // namespace
}  // namespace quillon::cli
