// What `quillon rover` and `quillon base` do alike around their session: the settings folder,
// and what Connect does between saving the settings and starting the worker.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/cli/command_environment.h"
#include "app/cli/session_options.h"
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

// As Connect does once the settings are saved: refuses what the dialog refuses (address, port
// name, port; the message goes to `messages`), and for the pseudo-port "BLUETOOTH" checks the
// radio and chooses the device and port as the selection dialog would, from --bt-device and
// --bt-port (the library's selected device and the default port when not given). false when no
// session may start.
bool PrepareConnect(const SettingsRecord& settings, const SessionOptions& options, ComLink& link,
                    const CommandEnvironment& environment, MessageSink& messages);

}  // namespace quillon::cli
