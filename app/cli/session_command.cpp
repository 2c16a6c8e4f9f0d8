#include "app/cli/session_command.h"

#include <string>

#include "app/cli/listen_users_file.h"
#include "common/connect_checks.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "link/bluetooth_choice.h"
#include "link/com_port_items.h"
#include "net/tls_options.h"
#include "platform/settings_folder.h"

namespace quillon::cli {

std::optional<std::filesystem::path> ParseSessionCommand(std::string_view command,
                                                         const Arguments& args,
                                                         const CommandOptions& allowed,
                                                         const CommandEnvironment& environment,
                                                         SessionOptions& options, int& exitStatus) {
  const std::string name(command);
  std::string problem;
  exitStatus = 2;
  if (!ParseSessionOptions(args, allowed, environment.environmentPassword, options, problem)) {
    std::fprintf(environment.err, "quillon %s: %s\n", name.c_str(), problem.c_str());
    return std::nullopt;
  }
  const PasswordFileWait wait{environment.clock, environment.stopFd};
  // Each file's own password is read with it, so a stop is answered while any pipe is awaited.
  const auto taken = [&](PasswordFileRead read) {
    if (read == PasswordFileRead::kRefused) {
      std::fprintf(environment.err, "quillon %s: %s\n", name.c_str(), problem.c_str());
    } else if (read == PasswordFileRead::kStopAsked) {
      exitStatus = kExitStoppedBeforeStart;
    }
    return read == PasswordFileRead::kRead;
  };
  if (!taken(TakePasswordFile(options, wait, problem))) return std::nullopt;
  for (const std::string& file : options.alsoFiles) {
    ExtraCaster caster;
    if (!taken(ReadAlsoFile(file, wait, caster, problem))) return std::nullopt;
    options.also.push_back(caster);
  }
  if (options.listenUsersFile &&
      !ReadListenUsersFile(*options.listenUsersFile, options.listenTokens, problem)) {
    std::fprintf(environment.err, "quillon %s: %s\n", name.c_str(), problem.c_str());
    return std::nullopt;
  }
  if (!options.settingsDir) return SettingsFolder();
  if (!MakePrivateFolder(*options.settingsDir, problem)) {
    std::fprintf(environment.err,
                 "quillon %s: --settings-dir: %s (the settings hold passwords: use a folder only "
                 "you can write)\n",
                 name.c_str(), PrintableText(problem).c_str());  // it names the user's folder
    return std::nullopt;
  }
  return *options.settingsDir;
}

void TellSettingsProblem(std::string_view command, const std::string& problem,
                         const CommandEnvironment& environment) {
  if (problem.empty()) return;
  std::fprintf(environment.err, "quillon %s: %s\n", std::string(command).c_str(), problem.c_str());
}

bool PrepareConnect(const SettingsRecord& settings, ConnectingMode mode,
                    const SessionOptions& options, ComLink& link,
                    const CommandEnvironment& environment, MessageSink& messages) {
  const auto refuse = [&](std::uint32_t text) {
    messages.Show(Message{LoadString(text), LoadString(kStrError)});
    return false;
  };
  if (const std::uint32_t check = FirstConnectProblem(settings, mode)) return refuse(check);
  // Said on every start, never saved: the next start without --insecure checks again.
  const std::string_view tlsWarning =
      TlsWarning(TlsFor(settings.protocol, options.protocol.insecure));
  if (!tlsWarning.empty()) {
    std::fprintf(environment.err, "Warning: %.*s\n", static_cast<int>(tlsWarning.size()),
                 tlsWarning.data());
  }

  const std::u16string_view port = FieldText(settings.comPortName);
  if (environment.bluetooth == nullptr) {
    link.ClearBluetoothChoice();
    if (port.find(kBluetoothPortName) == std::u16string_view::npos) return true;
    std::fprintf(environment.err, "Error: Bluetooth is not available on this system.\n");
    return false;
  }
  BluetoothLib& bluetooth = *environment.bluetooth;
  return ChooseBluetoothForConnect(
      port, bluetooth, messages,
      [&] { return ChooseBluetoothByName(bluetooth, messages, options.btDevice, options.btPort); },
      [&](BluetoothChoice choice) { link.ChooseBluetooth(choice.device, choice.port); });
}

}  // namespace quillon::cli
