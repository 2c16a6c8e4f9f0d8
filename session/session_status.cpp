#include "session/session_status.h"

#include <pthread.h>

#include <chrono>

namespace quillon {

SessionStatus::~SessionStatus() { EndWorker(); }

void SessionStatus::Reset() {
  std::lock_guard guard(lock);
  running.store(0);
  error.store(0);
  rate = 0;
  peak = 0;
  total = 0;
  elapsedSeconds = 0;
  connected = false;
  streamLine.clear();
  streamWarnings.clear();
}

SessionSnapshot SessionStatus::Snapshot() {
  std::lock_guard guard(lock);
  return SessionSnapshot{running.load() == 1, error.load() == 1, rate,       peak,          total,
                         elapsedSeconds,      connected,         streamLine, streamWarnings};
}

void SessionStatus::StartWorker(std::function<void()> body, const char* name) {
  JoinWorker();
  {
    std::lock_guard guard(endedMutex_);
    ended_ = false;
  }
  worker_ = std::thread([this, name, body = std::move(body)] {
    pthread_setname_np(pthread_self(), name);
    body();
    std::lock_guard guard(endedMutex_);
    ended_ = true;
    endedChanged_.notify_all();
  });
}

bool SessionStatus::WaitWorkerEnded(int realMs) {
  std::unique_lock guard(endedMutex_);
  return endedChanged_.wait_for(guard, std::chrono::milliseconds(realMs), [&] { return ended_; });
}

void SessionStatus::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void SessionStatus::EndWorker(const std::function<void()>& eachRound) {
  // Real time between two attempts to wake the worker: a box it opened, or a socket it
  // created, after the previous attempt.
  constexpr int kWakeRetryMs = 20;
  if (!HasWorker()) return;
  running.store(0);
  // The worker may be waiting for the lock that our caller holds.
  const int depth = lock.ReleaseAll();
  for (;;) {
    if (eachRound) eachRound();
    socket.Shutdown();
    if (MessageSink* sink = owner.load()) sink->DismissAll();
    if (WaitWorkerEnded(kWakeRetryMs)) break;
  }
  JoinWorker();
  lock.Reacquire(depth);
}

void SessionStatus::GiveUp(const std::u16string& text, const std::u16string& caption,
                           const std::u16string& detail) {
  if (running.load() == 0) return;
  if (MessageSink* sink = owner.load()) {
    const MessageAnswer answer =
        sink->Show(Message{text, caption, MessageIcon::kExclamation, MessageButtons::kOk, detail});
    if (answer == MessageAnswer::kDismissed) return;
  }
  std::lock_guard guard(lock);
  if (running.load() == 0) return;
  running.store(0);
  error.store(1);
}

}  // namespace quillon
