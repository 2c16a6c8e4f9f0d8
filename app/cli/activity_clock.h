// The clock a session's worker is given on the command line: it passes every call on and notes
// when the worker last used it. Every wait of the worker goes through its clock, so a worker
// that has not used it for long is stuck (a deadlock, a send that never returns), and the
// service watchdog is no longer fed for it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace quillon::cli {

class ActivityClock final : public Clock {
 public:
  explicit ActivityClock(Clock& clock) : clock_(clock), last_(clock.TickCount()) {}

  // Tick of the inner clock at the start or end of the latest call.
  std::uint32_t LastActivity() const { return last_.load(); }

  std::uint32_t TickCount() override { return Note(clock_.TickCount()); }
  std::time_t Now() override {
    Note(clock_.TickCount());
    return clock_.Now();
  }
  void Sleep(std::uint32_t ms) override {
    Note(clock_.TickCount());
    clock_.Sleep(ms);
    Note(clock_.TickCount());
  }
  int WaitReadable(int fd, std::uint32_t ms) override {
    Note(clock_.TickCount());
    const int ready = clock_.WaitReadable(fd, ms);
    Note(clock_.TickCount());
    return ready;
  }
  int WaitWritable(int fd, std::uint32_t ms) override {
    Note(clock_.TickCount());
    const int ready = clock_.WaitWritable(fd, ms);
    Note(clock_.TickCount());
    return ready;
  }
  int WaitAny(std::span<pollfd> entries, std::uint32_t ms) override {
    Note(clock_.TickCount());
    const int ready = clock_.WaitAny(entries, ms);
    Note(clock_.TickCount());
    return ready;
  }

 private:
  std::uint32_t Note(std::uint32_t tick) {
    last_.store(tick);
    return tick;
  }

  Clock& clock_;
  std::atomic<std::uint32_t> last_;
};

}  // namespace quillon::cli
