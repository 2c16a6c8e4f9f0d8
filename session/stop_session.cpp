#include "session/stop_session.h"

#include <mutex>
#include <optional>

namespace quillon {
namespace {

constexpr std::uint32_t kStopGraceMs = 4000;
constexpr std::uint32_t kAfterResetMs = 1000;

// The status as it stands, then reset, in one hold of the lock.
SessionSnapshot TakeAndReset(SessionStatus& status) {
  std::lock_guard guard(status.lock);
  SessionSnapshot last = status.Snapshot();
  status.Reset();
  return last;
}

}  // namespace

SessionSnapshot StopSession(SessionStatus& status, ComLink& link, Clock& clock, StopKind kind,
                            const WhileWorkerEnds& whileEnding) {
  const bool wasRunning = status.running.exchange(0) == 1;
  std::optional<SessionSnapshot> last;
  if (kind == StopKind::kDisconnect || wasRunning) {
    clock.Sleep(kStopGraceMs);
    last = TakeAndReset(status);
    clock.Sleep(kAfterResetMs);
  }
  // The link is closed again in every round: a connect to the receiver (the Base's reopen of
  // its link) may have begun after the last close.
  if (status.HasWorker()) {
    status.EndWorker([&] {
      link.CloseComPort();
      if (whileEnding) whileEnding();
    });
  }
  status.socket.Close();
  // A worker that was ending while we reset may have raised its flags: leave an idle status.
  const SessionSnapshot afterEnd = TakeAndReset(status);
  return last ? *last : afterEnd;
}

}  // namespace quillon
