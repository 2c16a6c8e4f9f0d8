#include "app/cli/base_command.h"

#include "app/cli/session_command.h"
#include "base/base_session.h"

namespace quillon::cli {
namespace {

struct BaseMode {
  using Settings = BaseSettings;
  using Status = BaseStatus;
  static constexpr char kName[] = "base";
  static constexpr ConnectingMode kConnecting = ConnectingMode::kBase;
  static constexpr CommandOptions kOptions = kBaseOptions;
  static constexpr char kActivity[] = "Uploading";
  static constexpr auto Apply = ApplyBaseOptions;
  static constexpr auto State = BaseSessionState;
  static void Start(BaseSettings& settings, BaseStatus& status, ComLink& link, Clock& clock,
                    const std::filesystem::path& folder, const SessionOptions& options,
                    FanOut& /*read*/) {
    StartBaseSession({settings, status, link, clock, folder, options.protocol.insecure});
  }
};

}  // namespace

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
  return RunModeCommand<BaseMode>(args, environment);
}

}  // namespace quillon::cli
