// The fan-out's queues: one shared copy of each delivery, the oldest whole blocks dropped and
// counted when an output falls behind, and never the block an output has begun to send.
#include "session/fan_out.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <string>

namespace quillon {
namespace {

bool Woken(const OutputQueue& queue) {
  pollfd entry{queue.WakeHandle(), POLLIN, 0};
  return poll(&entry, 1, 0) == 1;
}

std::string TakeAll(OutputQueue& queue) {
  std::string out;
  for (std::string_view front = queue.Front(); !front.empty(); front = queue.Front()) {
    out.append(front);
    queue.Take(front.size());
  }
  return out;
}

TEST(FanOutTest, EveryAttachedQueueSharesOneCopyAndWakesOnce) {
  FanOut fanOut;
  OutputQueue first;
  OutputQueue second;
  fanOut.Attach(first);
  fanOut.Attach(second);
  fanOut.Attach(first);  // twice is once
  fanOut.Deliver("abc");
  fanOut.Deliver("def");
  EXPECT_EQ(first.Front().data(), second.Front().data());
  EXPECT_TRUE(Woken(first));
  first.ClearWake();
  EXPECT_FALSE(Woken(first));
  EXPECT_EQ(TakeAll(first), "abcdef");
  EXPECT_EQ(TakeAll(second), "abcdef");

  fanOut.Detach(second);
  fanOut.Deliver("g");
  EXPECT_EQ(TakeAll(first), "g");
  EXPECT_TRUE(second.Empty());
  EXPECT_EQ(second.Pushed(), 6u);
}

TEST(FanOutTest, AFullQueueDropsItsOldestWholeBlocksButNotTheOneBegun) {
  OutputQueue queue(10);
  const auto block = [](char c) { return std::make_shared<const std::string>(4, c); };
  queue.Push(block('a'));
  queue.Push(block('b'));
  queue.Push(block('c'));  // 12 bytes: "aaaa" goes
  EXPECT_EQ(queue.Dropped(), 4u);
  EXPECT_EQ(queue.Front(), "bbbb");

  queue.Take(1);           // "b" begun: it stays whole, the next oldest goes
  queue.Push(block('d'));  // 3 + 4 + 4 = 11 bytes
  queue.Push(block('e'));
  EXPECT_EQ(queue.Dropped(), 12u);
  EXPECT_EQ(TakeAll(queue), "bbbeeee");
  EXPECT_EQ(queue.Pushed(), 20u);
}

}  // namespace
}  // namespace quillon
