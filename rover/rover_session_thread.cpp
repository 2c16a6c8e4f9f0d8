#include <mutex>
#include <string>

#include "common/guard.h"
#include "rover/reconnect_wait.h"
#include "rover/rover_attempt.h"
#include "session/countdown.h"

namespace quillon {
namespace {

constexpr std::string_view kTraceFile = "zepinterlinkdlg";

// Without reconnecting, a failure ends the worker: the link closed, the box shown, then running 0
// and error 1.
void GiveUp(const RoverSessionContext& c, const RoverAttemptEnd& end) {
  if (end.kind == RoverAttemptEnd::Kind::kLinkNotOpened) {
    // The link has shown its own message.
    std::lock_guard guard(c.status.lock);
    if (c.status.running.load() == 1) {
      c.status.running.store(0);
      c.status.error.store(1);
    }
    return;
  }
  c.link.CloseComPort();
  c.status.GiveUp(end.text, end.caption, end.detail);
}

// Counts `seconds` down in the status, with the reason of `end` beside them. false when running
// was cleared meanwhile.
bool CountDownToRetry(const RoverSessionContext& c, int seconds, const RoverAttemptEnd& end) {
  {
    std::lock_guard guard(c.status.lock);
    c.status.connected = false;
    c.status.reason = end.text;
    c.status.detail = end.detail;
  }
  const auto show = [&](int left) {
    Guarded(kTraceFile, __LINE__, [&] {
      std::lock_guard guard(c.status.lock);
      c.status.retryInSeconds = left;
    });
  };
  const bool waited =
      CountDown(c.clock, seconds, show, [&] { return c.status.running.load() == 0; });
  std::lock_guard guard(c.status.lock);
  c.status.retryInSeconds = 0;
  return waited;
}

}  // namespace

void RoverSessionThread(const RoverSessionContext& context) {
  ReconnectWaits waits;
  bool linkOpen = false;
  for (int attempt = 1;; ++attempt) {
    RoverAttemptEnd end;
    Guarded(kTraceFile, __LINE__, [&] {
      {
        std::lock_guard guard(context.status.lock);
        context.status.attempt = attempt;
      }
      end = RunRoverAttempt(context, attempt, linkOpen);
    });
    if (end.kind == RoverAttemptEnd::Kind::kStopped) return;
    if (!context.reconnect) {
      Guarded(kTraceFile, __LINE__, [&] { GiveUp(context, end); });
      return;
    }
    const int seconds = waits.Next(end.refused, end.relayedMs);
    if (!CountDownToRetry(context, seconds, end)) {
      context.link.CloseComPort();
      return;
    }
  }
}

}  // namespace quillon
