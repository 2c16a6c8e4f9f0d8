// A virtual clock that lets a test act at a chosen point of the code under test: before its
// n-th readable-wait, writable-wait, wait on several descriptors or sleep (each counted from 1),
// for example to send the next piece of a reply only once the client has finished a read.
#pragma once

#include <atomic>
#include <functional>

#include "testing/virtual_clock.h"

namespace quillon::testing {

class HookedClock final : public Clock {
 public:
  // `realPollMs` (long enough for a peer thread to answer) and `startTick` as for VirtualClock.
  explicit HookedClock(int realPollMs = 1000, std::uint32_t startTick = 1000)
      : clock_(startTick, 1'700'000'000, realPollMs) {}

  std::function<void(int)> beforeWait = [](int) {};
  std::function<void(int)> beforeSleep = [](int) {};
  std::function<void(int)> beforeWaitWritable = [](int) {};
  std::function<void(int)> beforeWaitAny = [](int) {};

  std::uint32_t TickCount() override { return clock_.TickCount(); }
  std::time_t Now() override { return clock_.Now(); }
  void Sleep(std::uint32_t ms) override {
    beforeSleep(++sleeps_);
    clock_.Sleep(ms);
  }
  int WaitReadable(int fd, std::uint32_t ms) override {
    beforeWait(++waits_);
    return clock_.WaitReadable(fd, ms);
  }
  int WaitWritable(int fd, std::uint32_t ms) override {
    beforeWaitWritable(++writableWaits_);
    return clock_.WaitWritable(fd, ms);
  }
  int WaitAny(std::span<pollfd> entries, std::uint32_t ms) override {
    beforeWaitAny(++anyWaits_);
    return clock_.WaitAny(entries, ms);
  }

  std::uint64_t Elapsed() const { return clock_.Elapsed(); }
  void SetRealPollMs(int ms) { clock_.SetRealPollMs(ms); }
  void BlockNextWait() { clock_.BlockNextWait(); }

 private:
  VirtualClock clock_;
  // Atomic: a session's stop sleeps on the test's thread while the worker may still sleep.
  std::atomic<int> waits_{0};
  std::atomic<int> sleeps_{0};
  std::atomic<int> writableWaits_{0};
  std::atomic<int> anyWaits_{0};
};

}  // namespace quillon::testing
