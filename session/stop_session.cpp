#include "session/stop_session.h"

namespace quillon {
namespace {

constexpr std::uint32_t kStopGraceMs = 4000;
constexpr std::uint32_t kAfterResetMs = 1000;
// Real time between two attempts to wake a worker that has not ended yet: a box it opened, or
// a socket or link it opened, after the previous attempt.
constexpr int kWakeRetryMs = 20;

void EndWorker(SessionStatus& status, ComLink& link) {
  // The worker may be waiting for the lock that our caller holds.
  const int depth = status.lock.ReleaseAll();
  for (;;) {
    // Closed again each round: a connect to the receiver may have begun after the last close.
    link.CloseComPort();
    status.socket.Shutdown();
    if (MessageSink* sink = status.owner.load()) sink->DismissAll();
    if (status.WaitWorkerEnded(kWakeRetryMs)) break;
  }
  status.JoinWorker();
  status.lock.Reacquire(depth);
}

}  // namespace

void StopSession(SessionStatus& status, ComLink& link, Clock& clock, StopKind kind) {
  const bool wasRunning = status.running.exchange(0) == 1;
  if (kind == StopKind::kDisconnect || wasRunning) {
    clock.Sleep(kStopGraceMs);
    status.Reset();
    clock.Sleep(kAfterResetMs);
  }
  if (status.HasWorker()) EndWorker(status, link);
  status.socket.Close();
  // A worker that was ending while we reset may have raised its flags: leave an idle status.
  status.Reset();
}

}  // namespace quillon
