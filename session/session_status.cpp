#include "session/session_status.h"

#include <mutex>

namespace quillon {

void SessionStatus::Reset() {
  std::lock_guard guard(lock);
  running.store(0);
  error.store(0);
  rate = 0;
  peak = 0;
  total = 0;
  elapsedSeconds = 0;
  dropped = 0;
  connected = false;
  streamLine.clear();
  streamWarnings.clear();
  solution.reset();
  solutionTimes = {};
  receiverPosition.reset();
  attempt = 0;
  detail.clear();
  receiverLost = false;
  gaveUp = false;
  retryInSeconds = 0;
  reason.clear();
  statusText.fill(u'\0');
  receiverStalled.store(false);
}

SessionSnapshot SessionStatus::Snapshot() {
  std::lock_guard guard(lock);
  return SessionSnapshot{.running = running.load() == 1,
                         .error = error.load() == 1,
                         .rate = rate,
                         .peak = peak,
                         .total = total,
                         .elapsedSeconds = elapsedSeconds,
                         .connected = connected,
                         .streamLine = streamLine,
                         .streamWarnings = streamWarnings,
                         .receiverStalled = receiverStalled.load(),
                         .dropped = dropped,
                         .gaveUp = gaveUp,
                         .solution = solution,
                         .solutionTimes = solutionTimes,
                         .receiverPosition = receiverPosition};
}

void SessionStatus::WakeWorker() {
  running.store(0);
  socket.Shutdown();
  if (MessageSink* sink = owner.load()) sink->DismissAll();
}

void SessionStatus::EndWorker(const std::function<void()>& eachRound) {
  if (!HasWorker()) return;
  running.store(0);
  // The worker may be waiting for the lock that our caller holds.
  const int depth = lock.ReleaseAll();
  worker_.End(eachRound);
  lock.Reacquire(depth);
}

void SessionStatus::GiveUp(const std::u16string& text, const std::u16string& caption,
                           const std::u16string& boxDetail) {
  if (running.load() == 0) return;
  if (MessageSink* sink = owner.load()) {
    const MessageAnswer answer = sink->Show(
        Message{text, caption, MessageIcon::kExclamation, MessageButtons::kOk, boxDetail});
    if (answer == MessageAnswer::kDismissed) return;
  }
  std::lock_guard guard(lock);
  if (running.load() == 0) return;
  running.store(0);
  error.store(1);
}

}  // namespace quillon
