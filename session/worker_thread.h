// The one owner of a session's worker thread: a handle whose destructor ends the worker and
// joins it, so that no thread outlives what holds it.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace quillon {

class WorkerThread {
 public:
  // `wake` asks the worker to end and frees it from what it may be blocked in (a socket, a
  // box); End runs it again every few real milliseconds until the worker's body has returned.
  explicit WorkerThread(std::function<void()> wake) : wake_(std::move(wake)) {}
  // Ends the worker as End does.
  ~WorkerThread() { End(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `body` on a new thread named `name` (a literal of at most 15 characters) for top, ps
  // and debuggers, after joining a worker that ended before. Start and End run on one thread.
  void Start(std::function<void()> body, const char* name);
  // Started and not yet joined.
  bool Exists() const { return thread_.joinable(); }
  // Waits up to `realMs` real milliseconds for the body to have returned.
  bool WaitEnded(int realMs);
  // Until the body has returned: `eachRound`, then the wake, a few real milliseconds apart.
  // Then joins. Harmless without a worker.
  void End(const std::function<void()>& eachRound = {});

 private:
  const std::function<void()> wake_;
  std::thread thread_;
  std::mutex endedMutex_;
  std::condition_variable endedChanged_;
  bool ended_ = true;
};

}  // namespace quillon
