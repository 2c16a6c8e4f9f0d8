#include "app/cli/base_command.h"

#include "app/cli/console_message_sink.h"
#include "app/cli/session_command.h"
#include "app/cli/session_options.h"
#include "app/cli/session_runner.h"
#include "app/cli/stop_signals.h"
#include "app/cli/trace_to_stream.h"
#include "base/base_session.h"

namespace quillon::cli {

SessionState BaseSessionState(BaseStatus& status) {
  SessionState state = PlainSessionState(status);
  state.attempts = kBaseAttempts;
  std::u16string text;
  bool receiverLost = false;
  {
    std::lock_guard guard(status.lock);
    state.attempt = status.attempt;
    text = FieldText(status.statusText);
    receiverLost = status.receiverLost;
  }
  if (receiverLost && state.phase == SessionPhase::kConnected) {
    state.phase = SessionPhase::kReceiverLost;
  }
  if (!text.empty()) {
    state.phase = SessionPhase::kWaitingToRetry;
    state.retryText = OneLineStatusText(text);
    state.detail = TerminalText(status.Detail());
  }
  return state;
}

int RunBaseCommand(const Arguments& args, const CommandEnvironment& environment) {
  constexpr unsigned kBaseOptions = kOptCaster | kOptMount | kOptUser | kOptPassword | kOptDevice |
                                    kOptBaud | kOptSettingsDir | kOptTrace | kOptBluetooth |
                                    kOptProtocol;
  SessionOptions options;
  int refused = 0;
  const auto folder =
      ParseSessionCommand("base", args, kBaseOptions, environment, options, refused);
  if (!folder) return refused;

  // As Connect does: the controls into the record, the record into the file, then the checks.
  BaseSettings settings;
  LoadApplyAndSave("base", settings, *folder, environment, [&options](BaseSettings& loaded) {
    ApplySessionOptions(options, loaded);
    loaded.noAuthentication = 0;  // the Base has no such option and stores 0
  });

  ConsoleMessageSink messages(environment.err);
  ActivityClock workerClock(environment.clock);
  ComLink link(workerClock, environment.bluetooth, environment.devices);
  if (!PrepareConnect(settings, ConnectingMode::kBase, options, link, environment, messages)) {
    return 1;
  }

  const ScopedTrace trace(options.trace, environment.err);
  BaseStatus status;
  status.owner.store(&messages);
  StartBaseSession({settings, status, link, workerClock, *folder, options.protocol.insecure});
  SessionReporter reporter(environment.report, "Uploading");
  const SessionEnd end =
      RunSession({status, link, environment.clock, workerClock, environment.stopFd, std::nullopt,
                  [&status] { return BaseSessionState(status); }},
                 reporter);
  return end == SessionEnd::kGaveUp ? 1 : 0;
}

int RunBase(const Arguments& args) {
  const StopSignals signals;  // before the worker starts, so it inherits the blocked signals
  return RunBaseCommand(args, ProcessEnvironment(signals.Fd()));
}

}  // namespace quillon::cli
