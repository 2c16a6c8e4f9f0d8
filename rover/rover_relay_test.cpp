// A Rover session in its relay loop: fidelity in both directions, the position override, the
// silence rule, a receiver that goes away, and neither direction starving the other.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "ntrip/gga.h"
#include "rover/rover_session_fixture.h"

namespace quillon {
namespace {

using testing::RecordingMessageSink;
using testing::RoverSessionFixture;

class RoverRelayTest : public RoverSessionFixture {};

constexpr char16_t kComPortError[] =
    u"Experienced a COM Port read/write error. Are you still in range?";

std::string RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

std::vector<std::string> Fields(const std::string& sentence) {
  std::vector<std::string> fields;
  std::istringstream stream(sentence);
  for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
  return fields;
}

TEST_F(RoverRelayTest, AMegabyteOfRandomBytesReachesTheReceiverUnchangedAndIsCounted) {
  // Made before the session starts: virtual time runs while the worker waits for data, and a
  // slow build (sanitizers) could otherwise spend sixty virtual seconds of silence on it.
  const std::string bytes = RandomBytes(1 << 20, 7);
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  ASSERT_EQ(caster->SendToClients(bytes), 1);
  ASSERT_TRUE(receiver.WaitForReceived(bytes.size(), std::chrono::seconds(60)));
  EXPECT_TRUE(receiver.Received() == bytes);  // no diff of a megabyte in the log
  const auto snapshot = status.Snapshot();
  EXPECT_EQ(snapshot.total, 1 << 20);
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
  receiver.Emit(next);
  // Let the whole sentence arrive (the rewritten one has two bytes fewer here).
  ASSERT_TRUE(caster->WaitForReceivedFromClients(original.size() + next.size() - 2, kRealLimit));
  const std::string rewritten = caster->ReceivedFromClients().substr(original.size());
  const auto fields = Fields(rewritten);
  const auto sent = Fields(next);
  ASSERT_EQ(fields.size(), 15u);
  EXPECT_EQ(fields[2], "3348.00000");
  EXPECT_EQ(fields[3], "S");
  EXPECT_EQ(fields[4], "7015.00000");
  EXPECT_EQ(fields[5], "W");
  for (const std::size_t kept : {0u, 1u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u}) {
    EXPECT_EQ(fields[kept], sent[kept]) << kept;
  }
  char checksum[8];
  std::snprintf(checksum, sizeof checksum, "*%02x\r\n", GgaChecksum(rewritten));
  EXPECT_TRUE(rewritten.ends_with(checksum)) << rewritten;
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
    RecordingMessageSink boxes;
    const auto stop = StopAtEnd();
    status.owner.store(&boxes);
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

TEST_F(RoverRelayTest, AReceiverThatDisappearsEndsTheSessionWithTheComPortMessage) {
  Start();
  ASSERT_TRUE(LoggedIn());
  receiver.Disappear();
  // Noticed by the upstream read even while the caster sends nothing; no busy loop meanwhile.
  ExpectGaveUpWith(kComPortError);
  EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
}

TEST_F(RoverRelayTest, AReceiverThatDisappearsWhileDataArrivesEndsTheSessionToo) {
  DemoCasterConfig config;
  config.streamBytesPerSecond = 20000;
  UseCaster(config);
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(receiver.WaitForReceived(100, kRealLimit));
  receiver.Disappear();
  ExpectGaveUpWith(kComPortError);
}

TEST_F(RoverRelayTest, NeitherAContinuousCasterNorAContinuousReceiverStarvesTheOtherDirection) {
  const std::string down = RandomBytes(200'000, 1);
  const std::string up = RandomBytes(100'000, 2);
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  // Both directions have far more waiting than one pass moves.
  receiver.Emit(up);
  ASSERT_EQ(caster->SendToClients(down), 1);
  // By the time half the downstream data is through (about 50 passes), the upstream direction
  // has had its turns too: a loop that served one direction while it had data would show none.
  ASSERT_TRUE(receiver.WaitForReceived(down.size() / 2, std::chrono::seconds(60)));
  EXPECT_GE(caster->ReceivedFromClients().size(), 4096u);
  ASSERT_TRUE(caster->WaitForReceivedFromClients(up.size(), std::chrono::seconds(60)));
  ASSERT_TRUE(receiver.WaitForReceived(down.size(), std::chrono::seconds(60)));
  EXPECT_TRUE(caster->ReceivedFromClients() == up);
  EXPECT_TRUE(receiver.Received() == down);
}

}  // namespace
}  // namespace quillon
