#include "app/cli/base_command.h"

#include <mutex>
#include <string>
#include <utility>

#include "app/cli/session_command.h"
#include "base/base_session.h"
#include "common/utf8.h"

namespace quillon::cli {
namespace {

struct BaseMode {
  using Settings = BaseSettings;
  using Status = BaseCommandStatus;
  static constexpr char kName[] = "base";
  static constexpr ConnectingMode kConnecting = ConnectingMode::kBase;
  static constexpr CommandOptions kOptions = kBaseOptions;
  static constexpr char kActivity[] = "Uploading";
  static constexpr auto Apply = ApplyBaseOptions;
  static SessionState State(BaseCommandStatus& status) { return BaseSessionState(status); }
  static void Start(BaseSettings& settings, BaseCommandStatus& status, ComLink& link, Clock& clock,
                    const std::filesystem::path& folder, const SessionOptions& options,
                    FanOut& read, FanOut&) {
    status.primaryName = ToUtf8(FieldText(settings.address));
    for (const ExtraCaster& caster : options.also) {
      ExtraCasterSession& extra = status.extras.emplace_back();
      extra.name = caster.name;
      extra.settings = caster.settings;
    }
    BaseSessionContext context{settings, status, link, clock, folder, options.protocol.insecure};
    context.reconnect = options.reconnect;
    context.extras = &status.extras;
    context.outputs = &read;
    StartBaseSession(context);
  }
};

// One caster's line: uploading with its rate, or why not (the countdown, or that it gave up).
CasterLine CasterState(std::string name, BaseStatus& status) {
  const SessionSnapshot counters = status.Snapshot();
  std::string text;
  {
    std::lock_guard guard(status.lock);
    text = OneLineStatusText(FieldText(status.statusText));
  }
  CasterLine line{std::move(name), "connecting",  "connecting",
                  false,           counters.rate, counters.total};
  if (counters.gaveUp || (!counters.running && counters.error)) {
    line.key = "gave up";
    line.text = "gave up: " + text;
  } else if (!text.empty()) {
    line.key = "retry " + std::to_string(status.attempt);
    line.text = text;
  } else if (counters.connected) {
    line.key = "uploading";
    line.text = "uploading " + std::to_string(counters.rate) + " B/s";
    line.up = true;
  }
  if (counters.dropped > 0) line.text += ", " + std::to_string(counters.dropped) + " bytes dropped";
  return line;
}

}  // namespace

SessionState BaseSessionState(BaseCommandStatus& status) {
  SessionState state = BaseSessionState(static_cast<BaseStatus&>(status));
  if (status.extras.empty()) return state;
  state.casters.push_back(CasterState(status.primaryName, status));
  for (ExtraCasterSession& extra : status.extras) {
    state.casters.push_back(CasterState(extra.name, extra.status));
  }
  return state;
}

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
