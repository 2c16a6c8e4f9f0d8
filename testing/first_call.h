// Lets a test wait until the code under test reaches a hook (such as HookedClock's
// beforeWaitWritable), so that it acts there rather than after a guessed real-time pause.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace quillon::testing {

// Sets `hook` to note its first call; the future is ready from then on.
inline std::future<void> WhenFirstCalled(std::function<void(int)>& hook) {
  auto reached = std::make_shared<std::promise<void>>();
  hook = [reached, once = std::make_shared<std::once_flag>()](int) {
    std::call_once(*once, [&] { reached->set_value(); });
  };
  return reached->get_future();
}

}  // namespace quillon::testing
