// What `quillon rover` and `quillon base` do alike: the settings folder, what Connect does, and
// the session itself.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/cli/activity_clock.h"
#include "app/cli/command_environment.h"
#include "app/cli/console_message_sink.h"
#include "app/cli/session_listeners.h"
#include "app/cli/session_options.h"
#include "app/cli/session_runner.h"
#include "app/cli/station_status_of.h"
#include "app/cli/trace_to_stream.h"
#include "common/connect_checks.h"
#include "common/settings_record.h"
#include "common/utf8.h"
#include "link/com_link.h"
#include "platform/message_sink.h"
#include "session/fan_out.h"
#include "session/stream_log.h"

namespace quillon::cli {

// Parses the words after `quillon <command>` allowing the options it takes, then chooses the
// settings folder: the one given with --settings-dir (made with mode 0700 when missing; refused
// when others can write it), or the user's (an empty path when no private folder can be had:
// nothing is saved then). The password file and each --also file (ReadAlsoFile) are read in
// between, watching the environment's stop descriptor. On a problem prints one line naming the
// command on the environment's error stream and returns nullopt with `exitStatus` 2; when the user
// asks to stop while the password file is awaited, returns nullopt with `exitStatus`
// kExitStoppedBeforeStart.
std::optional<std::filesystem::path> ParseSessionCommand(std::string_view command,
                                                         const Arguments& args,
                                                         const CommandOptions& allowed,
                                                         const CommandEnvironment& environment,
                                                         SessionOptions& options, int& exitStatus);

// Prints `problem` (of a settings file, see ReadSettingsBytes) on the environment's error stream
// as one line naming the command; nothing when it is empty.
void TellSettingsProblem(std::string_view command, const std::string& problem,
                         const CommandEnvironment& environment);

// As Connect does once the settings are saved: refuses what the dialog refuses (address, port
// name, port, what would change the login's meaning: FirstConnectProblem for `mode`; the message
// goes to `messages`), and for the pseudo-port "BLUETOOTH" checks the
// radio and chooses the device and port as the selection dialog would, from --bt-device and
// --bt-port (the library's selected device and the default port when not given). false when no
// session may start.
bool PrepareConnect(const SettingsRecord& settings, ConnectingMode mode,
                    const SessionOptions& options, ComLink& link,
                    const CommandEnvironment& environment, MessageSink& messages);

// One session of the mode `Mode` describes, as pressing Connect in its dialog: `Mode` has
// `Settings` and `Status` (its record and status object), kName (the command), kConnecting (the
// mode for its Connect checks), kOptions (what it takes), kActivity (the service status's word
// for a running session), Apply (the options into the record), Start (the worker) and State
// (what the session is doing); Start takes the fan-out its worker delivers what it relays to,
// which --log writes to files, and the one for the receiver's own output. Loads the mode's settings
// file, applies the options and saves it (a refused file and a failed save are each told once on
// the error stream; the session goes on without them), checks the settings with the dialog's
// messages, and runs the session until stopped, reporting it. Returns 0 after a stop, 1 when the
// settings were refused or the session gave up, 2 for options it cannot use.
template <class Mode>
int RunModeCommand(const Arguments& args, const CommandEnvironment& environment) {
  SessionOptions options;
  int refused = 0;
  const auto folder =
      ParseSessionCommand(Mode::kName, args, Mode::kOptions, environment, options, refused);
  if (!folder) return refused;

  // As Connect does: the controls into the record, the record into the file, then the checks.
  typename Mode::Settings settings;
  std::string problem;
  ReadSettingsFile(settings, *folder, &problem);
  TellSettingsProblem(Mode::kName, problem, environment);
  Mode::Apply(options, settings);
  problem.clear();
  WriteSettingsFile(settings, *folder, &problem);
  TellSettingsProblem(Mode::kName, problem, environment);

  ConsoleMessageSink messages(environment.err);
  ActivityClock workerClock(environment.clock);
  ComLink link(workerClock, environment.bluetooth, environment.devices);
  if (!PrepareConnect(settings, Mode::kConnecting, options, link, environment, messages)) {
    return 1;
  }

  const ScopedTrace trace(options.trace, environment.err);
  // What the session relays (the Rover) or reads (the Base), for its other outputs: before the
  // status, which ends a worker still there.
  FanOut relayed;
  // What the receiver sent, as it sent it (the Rover's; the Base reads only into `relayed`).
  FanOut received;
  SessionListeners listeners;
  if (!listeners.Open(options, ToUtf8(FieldText(settings.mountPoint)), relayed, received,
                      environment.clock, environment.err, Mode::kName)) {
    return 2;
  }
  typename Mode::Status status;
  status.owner.store(&messages);
  // After the status, into whose warnings it tells; on the process's own clock, so that its
  // waits do not pass for the worker's life.
  std::optional<StreamLog> log;
  if (options.logPattern) {
    log.emplace(relayed, LogPattern(*options.logPattern), options.logKeepDays, environment.clock,
                WarningsOf(status));
    log->Start();
  }
  Mode::Start(settings, status, link, workerClock, *folder, options, relayed, received);
  SessionReporter reporter(environment.report, Mode::kActivity);
  // The status page hears what the session does as the report does, about once a second.
  const std::uint32_t started = environment.clock.TickCount();
  const std::string casterName = ToUtf8(FieldText(settings.address));
  const auto state = [&] {
    SessionState now = Mode::State(status);
    const std::int64_t uptime = (environment.clock.TickCount() - started) / 1000;
    listeners.Update(StationStatusOf(Mode::kConnecting, uptime, now, casterName));
    return now;
  };
  const SessionEnd end = RunSession(
      {status, link, environment.clock, workerClock, environment.stopFd, std::nullopt, state},
      reporter);
  return end == SessionEnd::kGaveUp ? 1 : 0;
}

}  // namespace quillon::cli
