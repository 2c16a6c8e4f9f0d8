// What `quillon rover` and `quillon base` do alike around their session: the settings folder,
// and what Connect does between saving the settings and starting the worker.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/cli/command_environment.h"
#include "app/cli/session_options.h"
#include "common/connect_checks.h"
#include "common/settings_record.h"
#include "link/com_link.h"
#include "platform/message_sink.h"

namespace quillon::cli {

// Parses the words after `quillon <command>` allowing the options in `allowed`, then chooses the
// settings folder: the one given with --settings-dir (made with mode 0700 when missing; refused
// when others can write it), or the user's (an empty path when no private folder can be had:
// nothing is saved then). The password file is read in between, watching the environment's
// stop descriptor. On a problem prints one line naming the command on the environment's error
// stream and returns nullopt with `exitStatus` 2; when the user asks to stop while the password
// file is awaited, returns nullopt with `exitStatus` kExitStoppedBeforeStart.
std::optional<std::filesystem::path> ParseSessionCommand(std::string_view command,
                                                         const Arguments& args, unsigned allowed,
                                                         const CommandEnvironment& environment,
                                                         SessionOptions& options,
                                                         int& exitStatus);

// Prints `problem` (of a settings file, see ReadSettingsBytes) on the environment's error stream
// as one line naming the command; nothing when it is empty.
void TellSettingsProblem(std::string_view command, const std::string& problem,
                         const CommandEnvironment& environment);

// As the dialog's load and Connect's save: reads the mode's settings file in `folder` into
// `settings` (the defaults when there is none), lets `apply` put the options in, and writes the
// file back. A file that is refused (a link, another user's) and a save that fails are each
// told once on the error stream; the session goes on without them.
template <class Settings, class Apply>
void LoadApplyAndSave(std::string_view command, Settings& settings,
                      const std::filesystem::path& folder, const CommandEnvironment& environment,
                      Apply apply) {
  std::string problem;
  ReadSettingsFile(settings, folder, &problem);
  TellSettingsProblem(command, problem, environment);
  apply(settings);
  problem.clear();
  WriteSettingsFile(settings, folder, &problem);
  TellSettingsProblem(command, problem, environment);
}

// As Connect does once the settings are saved: refuses what the dialog refuses (address, port
// name, port, what would change the login's meaning: FirstConnectProblem for `mode`; the message
// goes to `messages`), and for the pseudo-port "BLUETOOTH" checks the
// radio and chooses the device and port as the selection dialog would, from --bt-device and
// --bt-port (the library's selected device and the default port when not given). false when no
// session may start.
bool PrepareConnect(const SettingsRecord& settings, ConnectingMode mode,
                    const SessionOptions& options, ComLink& link,
                    const CommandEnvironment& environment, MessageSink& messages);

}  // namespace quillon::cli
