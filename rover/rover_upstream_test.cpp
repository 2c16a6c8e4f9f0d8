// A Rover's two directions when one side holds back, and the upstream reduced to GGA.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/strings.h"
#include "ntrip/nmea_test_sentences.h"
#include "platform/serial_port.h"
#include "platform/wait_step.h"
#include "rover/rover_session_fixture.h"
#include "session/caster_uplink.h"
#include "testing/manual_caster.h"
#include "testing/pty_pair.h"

namespace quillon {
namespace {

using RoverUpstreamTest = testing::RoverSessionFixture;
namespace nmea = testing::nmea;

// The 20 s count from the caster's last acknowledgement; its corrections flow meanwhile.
TEST_F(RoverUpstreamTest,
       ACasterThatTakesNoUpstreamLosesTheSessionAfterTwentySecondsMeanwhileCorrectionsFlow) {
  testing::ManualCaster manual("ICY 200 OK\r\n");
  settings.port = manual.Port();
  clock.beforeWait = [&](int) { manual.Answer(); };
  Start();
  ASSERT_TRUE(LoggedIn());
  clock.SetRealPollMs(200);  // until the caster's window is full
  std::string burst;
  while (burst.size() < 32 * 1024) burst += nmea::kGsv;
  receiver.Emit(burst);
  ASSERT_TRUE(receiver.WaitForEmitted(burst.size(), kRealLimit));
  testing::WaitUntilAcknowledgementsSettle(status.socket.Get());
  const std::uint64_t stalledAt = clock.Elapsed();
  clock.SetRealPollMs(kFastPollMs);
  std::string sent;
  const auto deadline = std::chrono::steady_clock::now() + kRealLimit;
  for (int block = 0; !status.WaitWorkerEnded(2); ++block) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the session was never lost";
    const std::string correction = "\xD3 correction " + std::to_string(block);
    if (manual.SendToClient(correction)) sent += correction;
  }
  ExpectGaveUpWith(sink, LoadString(kStrSocketReadProblem));
  EXPECT_EQ(sink.Boxes().at(0).detail, u"The caster took no data for 20 seconds.");
  EXPECT_GE(clock.Elapsed() - stalledAt, kCasterStallLimitMs - 400);
  EXPECT_LE(clock.Elapsed() - stalledAt, kCasterStallLimitMs + 200);
  const std::string relayed = receiver.Received();
  EXPECT_TRUE(sent.starts_with(relayed));
  EXPECT_GE(relayed.size(), sent.size() / 2);
}

// The receiver is on the Bluetooth library's pipe, where a byte written is there at once, so that
// each second's GGA, GSV and binary bytes are read in their second.
TEST_F(RoverUpstreamTest, WithGgaEveryTwoSecondsOneGgaInTwoSecondsGoesUpAndNothingElse) {
  settings.upstream.ggaSeconds = 2;
  UseBluetooth();
  std::optional<std::uint64_t> start;
  int next = 0;
  std::string expected;
  std::promise<void> done;
  clock.beforeWaitAny = [&](int) {  // the worker's passes only
    const std::uint64_t now = clock.Elapsed();
    if (!start) start = now;
    if (next <= 10 && now >= *start + 1000u * static_cast<std::uint64_t>(next)) {
      const std::string gga = MakeGgaSentence(1'700'000'000 + next, 52.52, 13.40);
      const std::string output = nmea::kGsv + gga + std::string("\xB5\x62\x01\x07", 4);
      bluetooth.SendToProgram(std::vector<std::uint8_t>(output.begin(), output.end()));
      if (next % 2 == 0) expected += gga;
      if (++next > 10) done.set_value();
    }
  };
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_EQ(done.get_future().wait_for(kRealLimit), std::future_status::ready);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(expected.size(), kRealLimit));
  StopSession(status, link, clock, StopKind::kClose);
  EXPECT_EQ(caster->ReceivedFromClients(), expected);
}

// Said in the status from the first second of the stall, and in the box when it ends.
TEST_F(RoverUpstreamTest, AReceiverThatTakesNoDataForTenSecondsIsLost) {
  testing::PtyPair pty;  // nobody reads the receiver's end
  SetFieldText(settings.comPortName, testing::Wide(pty.DevicePath()));
  std::atomic<std::uint64_t> stalledAt{0};
  clock.beforeWaitAny = [&](int) {  // the worker's waits, also those for room at the receiver
    if (stalledAt.load() == 0 && status.Snapshot().receiverStalled) stalledAt = clock.Elapsed();
  };
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  clock.SetRealPollMs(1000);  // virtual time runs as real time until the terminal is full
  // Far more than a terminal holds; the send ends when the worker lets go of the connection.
  auto flood = std::async(std::launch::async,
                          [this] { return caster->SendToClients(std::string(1 << 20, '\xD3')); });
  // Full once what waits at the receiver's end has stopped growing.
  for (int queued = 0, last = -1; queued == 0 || queued != last;) {
    last = queued;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(ioctl(pty.ReceiverFd(), FIONREAD, &queued), 0);
  }
  const std::uint64_t fullAt = clock.Elapsed();
  clock.SetRealPollMs(kFastPollMs);
  ExpectGaveUpWith(sink, LoadString(kStrComPortIoError));
  EXPECT_EQ(sink.Boxes().at(0).detail, u"The receiver took no data for 10 seconds.");
  EXPECT_GE(clock.Elapsed() - fullAt, kSerialWriteStallLimitMs - 300);
  EXPECT_LE(clock.Elapsed() - fullAt, kSerialWriteStallLimitMs + 300);
  EXPECT_GE(stalledAt.load(), fullAt + kReceiverStallShownMs - 300);
  EXPECT_LE(stalledAt.load(), fullAt + kReceiverStallShownMs + 300);
  EXPECT_FALSE(status.Snapshot().receiverStalled);
  flood.get();
}

}  // namespace
}  // namespace quillon
