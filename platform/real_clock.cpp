#include <poll.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace quillon {
namespace {

int PollEntries(std::span<pollfd> entries, std::uint32_t ms) {
  int result;
  do {
    result = poll(entries.data(), entries.size(), static_cast<int>(ms));
  } while (result < 0 && errno == EINTR);
  return result;
}

int PollFor(int fd, short events, std::uint32_t ms) {
  pollfd entry{fd, events, 0};
  return PollEntries(std::span(&entry, 1), ms);
}

class SystemClock final : public Clock {
 public:
  std::uint32_t TickCount() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }

  std::time_t Now() override { return std::time(nullptr); }

  void Sleep(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

  int WaitReadable(int fd, std::uint32_t ms) override { return PollFor(fd, POLLIN, ms); }
};

}  // namespace

int Clock::WaitWritable(int fd, std::uint32_t ms) { return PollFor(fd, POLLOUT, ms); }

int Clock::WaitAny(std::span<pollfd> entries, std::uint32_t ms) { return PollEntries(entries, ms); }

Clock& RealClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace quillon
