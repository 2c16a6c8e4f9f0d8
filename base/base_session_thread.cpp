#include <mutex>
#include <string>

#include "base/base_session.h"
#include "common/format.h"
#include "common/guard.h"
#include "common/strings.h"
#include "common/utf8.h"
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
  const std::u16string format =
      LoadString(c.reconnect ? kStrRetryCountdownNoLimit : kStrRetryCountdown);
  const auto show = [&](int seconds) {
    Guarded(kTraceFile, __LINE__, [&] {
      const std::int64_t next = attempt + 1;
      c.status.SetStatusText(
          c.reconnect ? FormatText(format, {next, std::int64_t{seconds}, FieldText(reason)})
                      : FormatText(format, {next, std::int64_t{kBaseAttempts},
                                            std::int64_t{seconds}, FieldText(reason)}));
    });
  };
  return CountDown(c.clock, kCountdownSeconds, show, [&] { return c.status.running.load() == 0; });
}

// How one caster's attempts ended: stopped, or given up after the last with its reason.
struct AttemptsEnd {
  bool stopped = false;
  ReasonText reason{};
  std::u16string detail;
};

// A caster's attempts, one after another with a countdown between them, until one is stopped or
// the last has failed (never, with reconnect).
AttemptsEnd RunAttempts(const BaseSessionContext& context) {
  AttemptsEnd end;
  Guarded(kTraceFile, __LINE__, [&] { context.status.ClearStatusText(); });
  for (int attempt = 0; context.reconnect || attempt < kBaseAttempts; ++attempt) {
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
      end.stopped = true;
      return end;
    }
    Guarded(kTraceFile, __LINE__, [&] {
      SetFieldText(end.reason, context.status.StatusText());
      end.detail = context.status.Detail();
    });
    // After the last attempt the final message follows at once: a countdown would announce a
    // retry that never comes.
    if (!context.reconnect && attempt + 1 == kBaseAttempts) break;
    if (!CountDownToRetry(context, attempt, end.reason)) {
      end.stopped = true;
      return end;
    }
  }
  return end;
}

// An extra caster's worker: its attempts; when they are used up, its status keeps the reason
// and says it has given up (running 0, error 1).
void ExtraCasterThread(const BaseSessionContext& context) {
  if (!RunAttempts(context).stopped) context.status.GiveUp({}, {});
  context.status.running.store(0);
}

void StartExtraCasters(const BaseSessionContext& primary) {
  if (primary.extras == nullptr) return;
  for (ExtraCasterSession& extra : *primary.extras) {
    BaseSessionContext context{extra.settings, extra.status, primary.link, primary.clock, {}};
    // --insecure is for the primary caster alone: a file cannot ask for it, and none gets it.
    context.reconnect = primary.reconnect;
    context.outputs = primary.outputs;
    context.reader = primary.reader;
    context.extraCaster = true;
    extra.status.Reset();
    extra.status.running.store(1);
    extra.status.StartWorker([context] { ExtraCasterThread(context); }, "quillon-also");
  }
}

void EndExtraCasters(const BaseSessionContext& primary) {
  if (primary.extras == nullptr) return;
  for (ExtraCasterSession& extra : *primary.extras) extra.status.EndWorker();
}

bool AnyExtraCasterRuns(const BaseSessionContext& primary) {
  if (primary.extras == nullptr) return false;
  for (ExtraCasterSession& extra : *primary.extras) {
    if (extra.status.running.load() == 1) return true;
  }
  return false;
}

// The primary caster has given up while other casters go on: the receiver is still read and
// watched for them until they have given up too. false when running was cleared meanwhile.
bool WaitForExtraCasters(const BaseSessionContext& primary) {
  if (!AnyExtraCasterRuns(primary)) return true;
  {
    std::lock_guard guard(primary.status.lock);
    primary.status.gaveUp = true;
  }
  while (primary.status.running.load() == 1) {
    if (!AnyExtraCasterRuns(primary)) return true;
    primary.reader->Watch(primary.clock.TickCount());
    primary.clock.Sleep(kCountdownStepMs);
  }
  return false;
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
  // Then each extra caster by its name, with why it gave up.
  std::u16string text(FieldText(message));
  if (c.extras != nullptr) {
    for (ExtraCasterSession& extra : *c.extras) {
      text += u"\r\n\r\n" + FromUtf8(extra.name) + u": " + extra.status.StatusText();
    }
  }
  // Shown to the owner from this thread; running 0 and error 1 afterwards, unless the stop
  // dismissed the box.
  c.status.GiveUp(text, LoadString(kStrError), detail);
}

}  // namespace

void BaseSessionThread(const BaseSessionContext& context) {
  FanOut ownOutputs;
  FanOut& outputs = context.outputs != nullptr ? *context.outputs : ownOutputs;
  ReceiverReader reader(context.link, context.clock, context.settings, context.status, outputs);
  BaseSessionContext primary = context;
  primary.outputs = &outputs;
  primary.reader = &reader;
  StartExtraCasters(primary);

  const AttemptsEnd end = RunAttempts(primary);
  if (!end.stopped && WaitForExtraCasters(primary)) {
    Guarded(kTraceFile, __LINE__, [&] { ShowFinalMessage(primary, end.reason, end.detail); });
  }
  context.status.running.store(0);
  EndExtraCasters(primary);
  CloseSerialLink(context.link);
}

void StartBaseSession(const BaseSessionContext& context) {
  context.status.running.store(1);
  context.status.StartWorker([context] { BaseSessionThread(context); }, "quillon-base");
}

}  // namespace quillon
