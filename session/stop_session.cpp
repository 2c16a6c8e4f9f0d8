#include "session/stop_session.h"

namespace quillon {
namespace {

constexpr std::uint32_t kStopGraceMs = 4000;
constexpr std::uint32_t kAfterResetMs = 1000;

}  // namespace

void StopSession(SessionStatus& status, ComLink& link, Clock& clock, StopKind kind,
                 const WhileWorkerEnds& whileEnding) {
  const bool wasRunning = status.running.exchange(0) == 1;
  if (kind == StopKind::kDisconnect || wasRunning) {
    clock.Sleep(kStopGraceMs);
    status.Reset();
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
  status.Reset();
}

}  // namespace quillon
