#include "app/cli/rover_command.h"

#include "app/cli/session_command.h"
#include "rover/rover_session.h"

namespace quillon::cli {
namespace {

struct RoverMode {
  using Settings = RoverSettings;
  using Status = RoverStatus;
  static constexpr char kName[] = "rover";
  static constexpr ConnectingMode kConnecting = ConnectingMode::kRover;
  static constexpr CommandOptions kOptions = kRoverOptions;
  static constexpr char kActivity[] = "Relaying";
  static constexpr auto Apply = ApplyRoverOptions;
  static constexpr auto State = RoverSessionState;
  static void Start(RoverSettings& settings, RoverStatus& status, ComLink& link, Clock& clock,
                    const std::filesystem::path& folder, const SessionOptions& options,
                    FanOut& relayed, FanOut& received) {
    StartRoverSession({settings, status, link, clock, folder, options.reconnect,
                       options.protocol.insecure, &relayed, &received});
  }
};

}  // namespace

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
  return RunModeCommand<RoverMode>(args, environment);
}

}  // namespace quillon::cli
