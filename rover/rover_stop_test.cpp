// The stop sequence against a real Rover worker, from every place the worker can be: it ends
// without a message and leaves no thread, socket or link behind.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "rover/rover_session_fixture.h"

namespace quillon {
namespace {

using testing::RoverSessionFixture;

class RoverStopTest : public RoverSessionFixture {
 protected:
  void StopAndExpectIdle() {
    const auto before = clock.Elapsed();
    StopSession(status, link, clock);
    EXPECT_GE(clock.Elapsed() - before, 5000u);
    EXPECT_FALSE(status.HasWorker());
    EXPECT_FALSE(status.socket.IsOpen());
    EXPECT_FALSE(link.IsComPortOpen());
    const auto snapshot = status.Snapshot();
    EXPECT_FALSE(snapshot.running);
    EXPECT_FALSE(snapshot.error);
    EXPECT_EQ(snapshot.total, 0);
    EXPECT_EQ(snapshot.elapsed, "00:00:00");
  }

  // Set before the start: ready once the worker is about to wait with `hook`, the clock's hook
  // for that kind of wait.
  static std::future<void> WhenTheWorkerWaits(std::function<void(int)>& hook) {
    auto reached = std::make_shared<std::promise<void>>();
    auto once = std::make_shared<std::once_flag>();
    hook = [reached, once](int) { std::call_once(*once, [&] { reached->set_value(); }); };
    return reached->get_future();
  }
};

TEST_F(RoverStopTest, WhileConnectingToACasterThatNeverAccepts) {
  caster->StopAccepting();
  auto connecting = WhenTheWorkerWaits(clock.beforeWaitWritable);
  Start();
  connecting.wait();
  StopAndExpectIdle();
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_EQ(caster->LoggedInClients(), 0);
}

TEST_F(RoverStopTest, WhileReadingTheLoginReplyOfASilentCaster) {
  // The login's readable-waits block in real time, as they do on the real clock.
  clock.SetRealPollMs(60000);
  caster->Script(CasterBehaviour::kSilent);
  auto reading = WhenTheWorkerWaits(clock.beforeWait);
  Start();
  reading.wait();
  StopAndExpectIdle();
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
}

TEST_F(RoverStopTest, WhileTheWorkersMessageBoxIsOpen) {
  sink.HoldBoxesOpen(true);
  caster->StopAccepting();
  SetFieldText(settings.address, u"10.0.0.300");  // fails at once with a box
  Start();
  ASSERT_TRUE(sink.WaitForBoxes(1));
  StopAndExpectIdle();
  EXPECT_EQ(sink.Boxes().size(), 1u);
}

// The stop sequence run from inside the lock, as the dialog's timer runs it, is covered with a
// worker that waits on that lock in the stop sequence's own tests.
TEST_F(RoverStopTest, InTheRelayLoop) {
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  ASSERT_EQ(caster->SendToClients("some data"), 1);
  ASSERT_TRUE(receiver.WaitForReceived(9, kRealLimit));
  StopAndExpectIdle();
  EXPECT_TRUE(caster->WaitForClosed(0, kRealLimit));
  EXPECT_TRUE(sink.Boxes().empty());
}

}  // namespace
}  // namespace quillon
