#include "session/worker_thread.h"

#include <pthread.h>

#include <chrono>

namespace quillon {

void WorkerThread::Start(std::function<void()> body, const char* name) {
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard guard(endedMutex_);
    ended_ = false;
  }
  thread_ = std::thread([this, name, body = std::move(body)] {
    pthread_setname_np(pthread_self(), name);
    body();
    std::lock_guard guard(endedMutex_);
    ended_ = true;
    endedChanged_.notify_all();
  });
}

bool WorkerThread::WaitEnded(int realMs) {
  std::unique_lock guard(endedMutex_);
  return endedChanged_.wait_for(guard, std::chrono::milliseconds(realMs), [&] { return ended_; });
}

void WorkerThread::End(const std::function<void()>& eachRound) {
  // Real time between two wakes: the worker may have opened a box, or created a socket, after
  // the one before.
  constexpr int kWakeRetryMs = 20;
  if (!thread_.joinable()) return;
  for (;;) {
    if (eachRound) eachRound();
    wake_();
    if (WaitEnded(kWakeRetryMs)) break;
  }
  thread_.join();
}

}  // namespace quillon
