// A Rover session in its relay loop: fidelity in both directions, the position override, the
// silence rule, a receiver that goes away, and neither direction starving the other.
#include <gtest/gtest.h>

#include <random>

#include "ntrip/gga.h"
#include "rover/rover_session_fixture.h"

namespace quillon {
namespace {

using testing::RecordingMessageSink;
using testing::RoverSessionFixture;

class RoverRelayTest : public RoverSessionFixture {};

std::string RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

// Both directions have far more waiting than one pass moves. By the time half the downstream
// data is through (about 50 passes), the upstream has had its turns too: a loop that served
// one direction while it had data would show none.
TEST_F(RoverRelayTest, NeitherAContinuousCasterNorAContinuousReceiverStarvesTheOtherDirection) {
  // Made before the start: virtual time runs while the worker waits for data.
  const std::string down = RandomBytes(200'000, 1);
  const std::string up = RandomBytes(100'000, 2);
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  receiver.Emit(up);
  ASSERT_EQ(caster->SendToClients(down), 1);
  ASSERT_TRUE(receiver.WaitForReceived(down.size() / 2, std::chrono::seconds(60)));
  EXPECT_GE(caster->ReceivedFromClients().size(), 4096u);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(up.size(), std::chrono::seconds(60)));
  ASSERT_TRUE(receiver.WaitForReceived(down.size(), std::chrono::seconds(60)));
  EXPECT_TRUE(caster->ReceivedFromClients() == up);  // no diff of this size in the log
  EXPECT_TRUE(receiver.Received() == down);
  const auto snapshot = status.Snapshot();
  EXPECT_EQ(snapshot.total, static_cast<std::int32_t>(down.size()));
  EXPECT_GT(snapshot.peak, 0);
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_F(RoverRelayTest, TheReceiversOutputGoesUpstreamUnchangedUntilTheOverrideRewritesGga) {
  Start();
  ASSERT_TRUE(LoggedIn());
  const std::string original =
      MakeGgaSentence(clock.Now(), 52.52, 13.40) +
      "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n";
  receiver.Emit(original);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size(), kRealLimit));
  EXPECT_EQ(caster->ReceivedFromClients(), original);

  // Switched on during the session, as the override dialog does: the next pass rewrites.
  settings.overrideLatitude.store(-33.8);
  settings.overrideLongitude.store(-70.25);
  settings.overrideEnabled.store(1);
  const std::string next = MakeGgaSentence(clock.Now() + 1, 52.52, 13.40);
  GgaSentence rewritten{};
  const std::size_t size = RewriteGgaSentence(next, -33.8, -70.25, rewritten);
  ASSERT_GT(size, 0u);
  receiver.Emit(next);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size() + size, kRealLimit));
  EXPECT_EQ(caster->ReceivedFromClients().substr(original.size()),
            std::string(rewritten.data(), size));
}

// A caster that closes the connection is noticed at once; one that stays connected but silent
// after sixty seconds, and no less.
TEST_F(RoverRelayTest, AClosedCasterEndsTheSessionAtOnceASilentOneAfterSixtySeconds) {
  const struct {
    CasterBehaviour behaviour;
    std::uint64_t minMs, maxMs;  // virtual time from the start to the end of the session
    std::u16string detail;
  } cases[] = {
      {CasterBehaviour::kCloseAfterLogin, 0, 1000, u"The caster closed the connection."},
      {CasterBehaviour::kNormal, 60000, 63000, u"The caster sent nothing for 60 seconds."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.behaviour));
    RecordingMessageSink& boxes = NextAttempt();
    clock.SetRealPollMs(kAnswerPollMs);
    caster->Script(c.behaviour);
    const auto start = clock.Elapsed();
    Start();
    ASSERT_TRUE(LoggedIn(static_cast<std::size_t>(&c - cases) + 1));
    ExpectGaveUpWith(boxes, u"There was a problem reading from the socket. Connection down?");
    EXPECT_EQ(boxes.Boxes().at(0).detail, c.detail);
    // Nothing moves the virtual clock once the worker has ended.
    EXPECT_GE(clock.Elapsed() - start, c.minMs);
    EXPECT_LE(clock.Elapsed() - start, c.maxMs);
  }
}

// A block that arrives during the pause between passes ends the pause: it reaches the receiver
// as it comes, not up to a pause later.
TEST_F(RoverRelayTest, CorrectionsReachTheReceiverAsTheyArrive) {
  constexpr int kBlocks = 20;
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  // Waits look long in real time, so each block is there before a wait gives up on it.
  clock.SetRealPollMs(1000);
  const auto start = clock.Elapsed();
  for (int i = 1; i <= kBlocks; ++i) {
    ASSERT_EQ(caster->SendToClients(std::string(32, '\xD3')), 1);
    ASSERT_TRUE(receiver.WaitForReceived(32u * i, kRealLimit));
  }
  // Each pass waits for the receiver's bytes a little; none sits out a 100 ms pause.
  EXPECT_LT(clock.Elapsed() - start, kBlocks * 100u / 2);
}

// Noticed by the upstream read even while the caster sends nothing (no busy loop meanwhile),
// and while data arrives.
TEST_F(RoverRelayTest, AReceiverThatDisappearsEndsTheSessionWithTheComPortMessage) {
  for (const int bytesPerSecond : {0, 20000}) {
    SCOPED_TRACE(bytesPerSecond);
    RecordingMessageSink& boxes = NextAttempt();
    SimulatedReceiver unplugged(clock);
    SetFieldText(settings.comPortName, testing::Wide(unplugged.DevicePath()));
    DemoCasterConfig config;
    config.streamBytesPerSecond = bytesPerSecond;
    UseCaster(config);
    clock.SetRealPollMs(kAnswerPollMs);
    Start();
    ASSERT_TRUE(LoggedIn(bytesPerSecond == 0 ? 1 : 2));
    ASSERT_TRUE(unplugged.WaitForReceived(bytesPerSecond / 200, kRealLimit));
    unplugged.Disappear();
    ExpectGaveUpWith(boxes, u"Experienced a COM Port read/write error. Are you still in range?");
    EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
  }
}

}  // namespace
}  // namespace quillon
