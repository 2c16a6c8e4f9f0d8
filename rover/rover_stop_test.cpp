// The stop sequence against a real Rover worker, from every place the worker can be: it ends
// without a message and leaves no thread, socket or link behind.
#include <gtest/gtest.h>

#include "rover/rover_session_fixture.h"
#include "testing/first_call.h"

namespace quillon {
namespace {

using testing::WhenFirstCalled;

class RoverStopTest : public testing::RoverSessionFixture {
 protected:
  // The session ends idle with only the `boxes` shown before the stop.
  void StopAndExpectIdle(std::size_t boxes = 0) {
    const auto before = clock.Elapsed();
    StopSession(status, link, clock);
    EXPECT_GE(clock.Elapsed() - before, 5000u);
    EXPECT_FALSE(status.HasWorker());
    EXPECT_FALSE(status.socket.IsOpen());
    EXPECT_FALSE(link.IsComPortOpen());
    const auto snapshot = status.Snapshot();
    EXPECT_FALSE(snapshot.running || snapshot.error);
    EXPECT_EQ(snapshot.total, 0);
    EXPECT_EQ(snapshot.elapsed, "00:00:00");
    EXPECT_EQ(sink.Boxes().size(), boxes);
  }
};

TEST_F(RoverStopTest, WhileConnectingToACasterThatNeverAccepts) {
  caster->StopAccepting();
  auto connecting = WhenFirstCalled(clock.beforeWaitWritable);
  Start();
  connecting.wait();
  StopAndExpectIdle();
  EXPECT_EQ(caster->LoggedInClients(), 0);
}

TEST_F(RoverStopTest, WhileReadingTheLoginReplyOfASilentCaster) {
  clock.SetRealPollMs(60000);  // the login's waits block in real time, as on the real clock
  caster->Script(CasterBehaviour::kSilent);
  auto reading = WhenFirstCalled(clock.beforeWait);
  Start();
  reading.wait();
  StopAndExpectIdle();
  EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
}

TEST_F(RoverStopTest, WhileTheWorkersMessageBoxIsOpen) {
  sink.HoldBoxesOpen(true);
  SetFieldText(settings.address, u"10.0.0.300");  // fails at once with a box
  Start();
  ASSERT_TRUE(sink.WaitForBoxes(1));
  StopAndExpectIdle(1);
}

// Run from inside the lock, as the dialog's timer runs it, in the stop sequence's own tests.
TEST_F(RoverStopTest, InTheRelayLoop) {
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  ASSERT_EQ(caster->SendToClients("some data"), 1);
  ASSERT_TRUE(receiver.WaitForReceived(9, kRealLimit));
  StopAndExpectIdle();
  EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
}

}  // namespace
}  // namespace quillon
