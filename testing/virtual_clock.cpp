#include "testing/virtual_clock.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace quillon::testing {

VirtualClock::VirtualClock(std::uint32_t startTick, std::time_t startTime, int realPollMs)
    : startTick_(startTick), startTime_(startTime), realPollMs_(realPollMs) {}

std::uint32_t VirtualClock::TickCount() {
  return static_cast<std::uint32_t>(startTick_ + elapsed_.load());
}

std::time_t VirtualClock::Now() {
  return startTime_ + static_cast<std::time_t>(elapsed_.load() / 1000);
}

void VirtualClock::Sleep(std::uint32_t ms) {
  Advance(ms);
  std::this_thread::yield();
}

int VirtualClock::WaitReadable(int fd, std::uint32_t ms) {
  pollfd entry{fd, POLLIN, 0};
  return WaitFor(std::span(&entry, 1), ms);
}

int VirtualClock::WaitWritable(int fd, std::uint32_t ms) {
  pollfd entry{fd, POLLOUT, 0};
  return WaitFor(std::span(&entry, 1), ms);
}

int VirtualClock::WaitAny(std::span<pollfd> entries, std::uint32_t ms) {
  return WaitFor(entries, ms);
}

int VirtualClock::WaitFor(std::span<pollfd> entries, std::uint32_t ms) {
  // A look (0 ms) stays a look: the block waits for a wait that would have waited.
  const bool block = ms > 0 && blockNext_.exchange(false);
  const int realMs = block ? -1 : std::min<int>(realPollMs_.load(), static_cast<int>(ms));
  int result;
  do {
    result = poll(entries.data(), entries.size(), realMs);
  } while (result < 0 && errno == EINTR);
  if (result == 0) Advance(ms);
  return result;
}

void VirtualClock::Advance(std::uint64_t ms) { elapsed_.fetch_add(ms); }

}  // namespace quillon::testing
