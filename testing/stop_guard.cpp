#include "testing/stop_guard.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <utility>

namespace quillon::testing {

bool StopsInTime(const std::function<void()>& stop, const CasterSocket& socket) {
  auto stopped = std::async(std::launch::async, stop);
  if (stopped.wait_for(kStopGuard) == std::future_status::ready) return true;
  ADD_FAILURE() << "the stop has not returned after " << kStopGuard.count()
                << " s: it has not woken the worker blocked on the caster socket";
  // The system call itself, not CasterSocket::Shutdown: that may be what fails to wake.
  do {
    if (const int fd = socket.Get(); fd >= 0) shutdown(fd, SHUT_RDWR);
  } while (stopped.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  return false;
}

std::future<void> BlockWaitWhen(HookedClock& clock, std::function<void(int)>& hook,
                                std::function<bool()> when) {
  auto reached = std::make_shared<std::promise<void>>();
  auto blocked = std::make_shared<std::atomic<bool>>(false);
  hook = [&clock, reached, blocked, before = std::move(hook), when = std::move(when)](int n) {
    before(n);
    if (blocked->load() || (when && !when()) || blocked->exchange(true)) return;
    clock.BlockNextWait();
    reached->set_value();
  };
  return reached->get_future();
}

}  // namespace quillon::testing
