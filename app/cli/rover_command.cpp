#include "app/cli/rover_command.h"

#include <system_error>

#include "app/cli/console_message_sink.h"
#include "app/cli/session_options.h"
#include "app/cli/session_runner.h"
#include "app/cli/stop_signals.h"
#include "app/cli/trace_to_stream.h"
#include "common/connect_checks.h"
#include "common/strings.h"
#include "platform/settings_folder.h"
#include "rover/rover_session.h"

namespace quillon::cli {

int RunRoverCommand(const Arguments& args, const CommandEnvironment& environment) {
  constexpr unsigned kRoverOptions = kOptCaster | kOptMount | kOptUser | kOptPassword |
                                     kOptDevice | kOptBaud | kOptAuthentication | kOptGga |
                                     kOptSettingsDir | kOptTrace;
  SessionOptions options;
  std::string problem;
  if (!ParseSessionOptions(args, kRoverOptions, environment.environmentPassword, options,
                           problem)) {
    std::fprintf(environment.err, "quillon rover: %s\n", problem.c_str());
    return 2;
  }
  std::filesystem::path folder;
  if (options.settingsDir) {
    folder = *options.settingsDir;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
      std::fprintf(environment.err, "quillon rover: --settings-dir: %s is no usable folder\n",
                   folder.c_str());
      return 2;
    }
  } else {
    folder = SettingsFolder();
  }

  // As Connect does: the controls into the record, the record into the file, then the checks.
  RoverSettings settings;
  ReadSettingsFile(settings, folder);
  ApplyRoverOptions(options, settings);
  WriteSettingsFile(settings, folder);

  ConsoleMessageSink messages(environment.err);
  const auto refuse = [&](std::uint32_t text) {
    messages.Show(Message{LoadString(text), LoadString(kStrError)});
    return 1;
  };
  if (const std::uint32_t check = FirstConnectProblem(settings)) return refuse(check);

  ComLink link(environment.clock, environment.bluetooth);
  link.ClearBluetoothChoice();
  if (FieldText(settings.comPortName).find(u"BLUETOOTH") != std::u16string_view::npos) {
    if (environment.bluetooth == nullptr) {
      std::fprintf(environment.err, "Error: Bluetooth is not available on this system.\n");
      return 1;
    }
    if (!environment.bluetooth->IsRadioOn()) return refuse(kStrBluetoothRadioOff);
    // Without a dialog to choose in, the library's selected device on its first port.
    link.ChooseBluetooth(environment.bluetooth->SelectedDevice(), 1);
  }

  const ScopedTrace trace(options.trace, environment.err);
  RoverStatus status;
  status.owner.store(&messages);
  StartRoverSession({settings, status, link, environment.clock, folder});
  const SessionEnd end =
      RunSession(status, link, environment.clock, environment.stopFd, environment.out);
  return end == SessionEnd::kGaveUp ? 1 : 0;
}

}  // namespace quillon::cli

namespace quillon::cli {

int RunRover(const Arguments& args) {
  const StopSignals signals;  // before the worker starts, so it inherits the blocked signals
  return RunRoverCommand(args, ProcessEnvironment(signals.Fd()));
}

}  // namespace quillon::cli
