#include "app/cli/rover_command.h"

#include "app/cli/console_message_sink.h"
#include "app/cli/session_command.h"
#include "app/cli/session_options.h"
#include "app/cli/session_runner.h"
#include "app/cli/stop_signals.h"
#include "app/cli/trace_to_stream.h"
#include "rover/rover_session.h"

namespace quillon::cli {

SessionState RoverSessionState(RoverStatus& status) {
  SessionState state = PlainSessionState(status);
  int seconds = 0;
  std::u16string reason, detail;
  {
    std::lock_guard guard(status.lock);
    state.attempt = status.attempt;
    seconds = status.retryInSeconds;
    reason = status.reason;
    detail = status.detail;
  }
  if (seconds > 0) {
    state.phase = SessionPhase::kWaitingToRetry;
    state.retryText =
        "Reconnecting in " + std::to_string(seconds) + " seconds. " + OneLineStatusText(reason);
    state.detail = TerminalText(detail);
  }
  return state;
}

int RunRoverCommand(const Arguments& args, const CommandEnvironment& environment) {
  constexpr unsigned kRoverOptions = kOptCaster | kOptMount | kOptUser | kOptPassword | kOptDevice |
                                     kOptBaud | kOptAuthentication | kOptGga | kOptSettingsDir |
                                     kOptTrace | kOptBluetooth | kOptProtocol | kOptReconnect |
                                     kOptUpstream;
  SessionOptions options;
  int refused = 0;
  const auto folder =
      ParseSessionCommand("rover", args, kRoverOptions, environment, options, refused);
  if (!folder) return refused;

  // As Connect does: the controls into the record, the record into the file, then the checks.
  RoverSettings settings;
  LoadApplyAndSave("rover", settings, *folder, environment,
                   [&options](RoverSettings& loaded) { ApplyRoverOptions(options, loaded); });

  ConsoleMessageSink messages(environment.err);
  ActivityClock workerClock(environment.clock);
  ComLink link(workerClock, environment.bluetooth, environment.devices);
  if (!PrepareConnect(settings, ConnectingMode::kRover, options, link, environment, messages)) {
    return 1;
  }

  const ScopedTrace trace(options.trace, environment.err);
  RoverStatus status;
  status.owner.store(&messages);
  StartRoverSession(
      {settings, status, link, workerClock, *folder, options.reconnect, options.protocol.insecure});
  SessionReporter reporter(environment.report, "Relaying");
  const SessionEnd end =
      RunSession({status, link, environment.clock, workerClock, environment.stopFd, std::nullopt,
                  [&status] { return RoverSessionState(status); }},
                 reporter);
  return end == SessionEnd::kGaveUp ? 1 : 0;
}

}  // namespace quillon::cli

namespace quillon::cli {

int RunRover(const Arguments& args) {
  const StopSignals signals;  // before the worker starts, so it inherits the blocked signals
  return RunRoverCommand(args, ProcessEnvironment(signals.Fd()));
}

}  // namespace quillon::cli
