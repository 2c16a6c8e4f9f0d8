#include <mutex>
#include <string>

#include "base/base_session.h"
#include "common/format.h"
#include "common/guard.h"
#include "common/strings.h"
#include "session/countdown.h"
#include "session/elapsed_text.h"

namespace quillon {
namespace {

constexpr std::string_view kTraceFile = "zepsourcedlg";

using ReasonText = WideField<kBaseStatusTextSize>;

// The end of the worker once running has been cleared during a countdown or a final message.
void CloseSerialLink(ComLink& link) {
  if (link.IsComPortOpen()) link.CloseComPort();
}

// Counts down before the next attempt, showing the retry line above the reason. false when
// running was cleared meanwhile.
bool CountDownToRetry(const BaseSessionContext& c, int attempt, const ReasonText& reason) {
  const std::u16string format = LoadString(kStrRetryCountdown);
  const auto show = [&](int seconds) {
    Guarded(kTraceFile, __LINE__, [&] {
      c.status.SetStatusText(
          FormatText(format, {std::int64_t{attempt + 1}, std::int64_t{kBaseAttempts},
                              std::int64_t{seconds}, FieldText(reason)}));
    });
  };
  return CountDown(c.clock, kCountdownSeconds, show, [&] { return c.status.running.load() == 0; });
}

void ShowFinalMessage(const BaseSessionContext& c, const ReasonText& reason,
                      const std::u16string& detail) {
  // With the days, as the command line shows the connect time: the box has room for them, and a
  // base that ran for weeks before it gave up would otherwise report a few hours.
  std::int64_t seconds = 0;
  {
    std::lock_guard guard(c.status.lock);
    seconds = c.status.elapsedSeconds;
  }
  const std::string digits = ElapsedWithDays(seconds);  // ASCII
  const std::u16string elapsed(digits.begin(), digits.end());
  WideField<kBaseStatusTextSize> message{};
  SetFieldText(message, FormatText(LoadString(kStrCouldNotReconnect),
                                   {std::u16string_view(elapsed), FieldText(reason)}));
  // Shown to the owner from this thread; running 0 and error 1 afterwards, unless the stop
  // dismissed the box.
  c.status.GiveUp(std::u16string(FieldText(message)), LoadString(kStrError), detail);
}

}  // namespace

void BaseSessionThread(const BaseSessionContext& context) {
  ReasonText reason{};
  std::u16string detail;
  Guarded(kTraceFile, __LINE__, [&] { context.status.ClearStatusText(); });

  for (int attempt = 0; attempt < kBaseAttempts; ++attempt) {
    BaseSessionResult result = BaseSessionResult::kLoginIoFailed;
    Guarded(kTraceFile, __LINE__, [&] {
      {
        std::lock_guard guard(context.status.lock);
        context.status.attempt = attempt + 1;
      }
      context.status.ClearStatusText();
      result = RunBaseSession(context);
    });
    if (result == BaseSessionResult::kStopped) {
      context.status.running.store(0);
      return;
    }
    Guarded(kTraceFile, __LINE__, [&] {
      SetFieldText(reason, context.status.StatusText());
      detail = context.status.Detail();
    });
    // After the last attempt the final message follows at once: a countdown would announce a
    // retry that never comes.
    if (attempt + 1 == kBaseAttempts) break;
    if (!CountDownToRetry(context, attempt, reason)) {
      CloseSerialLink(context.link);
      return;
    }
  }

  Guarded(kTraceFile, __LINE__, [&] { ShowFinalMessage(context, reason, detail); });
  context.status.running.store(0);
  CloseSerialLink(context.link);
}

void StartBaseSession(const BaseSessionContext& context) {
  context.status.running.store(1);
  context.status.StartWorker([context] { BaseSessionThread(context); }, "quillon-base");
}

}  // namespace quillon
