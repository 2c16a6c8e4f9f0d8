// A clock for tests: sleeps advance virtual time at once, and every wait on descriptors polls
// only briefly in real time before it counts its whole limit as passed.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>

#include "platform/clock.h"

namespace quillon::testing {

class VirtualClock final : public Clock {
 public:
  // `startTick` lets a test start close to the 32-bit wrap; `realPollMs` is how long a
  // readable-wait looks at the descriptor in real time, so that peers on other threads get a
  // chance to write before virtual time jumps.
  explicit VirtualClock(std::uint32_t startTick = 1000, std::time_t startTime = 1'700'000'000,
                        int realPollMs = 5);

  std::uint32_t TickCount() override;
  std::time_t Now() override;
  void Sleep(std::uint32_t ms) override;
  int WaitReadable(int fd, std::uint32_t ms) override;
  int WaitWritable(int fd, std::uint32_t ms) override;
  int WaitAny(std::span<pollfd> entries, std::uint32_t ms) override;

  void Advance(std::uint64_t ms);

  // Changes how long readable-waits look in real time: long while a test waits for a peer's
  // answer, short once a loop should run through many silent passes.
  void SetRealPollMs(int ms) { realPollMs_.store(ms); }

  // The next wait on descriptors that would wait at all (a look of 0 ms passes on), on
  // whichever thread comes first, lasts until a descriptor is ready, however long, and moves no
  // virtual time: a worker in it is woken only through its descriptors, such as by a shutdown
  // of its socket, as one blocked in the system is. Call it from a wait hook (HookedClock) on
  // the waiting thread.
  void BlockNextWait() { blockNext_.store(true); }

  // Virtual milliseconds since construction (does not wrap).
  std::uint64_t Elapsed() const { return elapsed_.load(); }

 private:
  int WaitFor(std::span<pollfd> entries, std::uint32_t ms);

  const std::uint32_t startTick_;
  const std::time_t startTime_;
  std::atomic<int> realPollMs_;
  std::atomic<bool> blockNext_{false};
  std::atomic<std::uint64_t> elapsed_{0};
};

}  // namespace quillon::testing
