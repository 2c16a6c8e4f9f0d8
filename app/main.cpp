// quillon: the command-line front ends; without a command, the windowed program.
#include <cstdio>
#include <string>

#include "app/cli/base_command.h"
#include "app/cli/command_environment.h"
#include "app/cli/commands.h"
#include "app/cli/console_message_sink.h"
#include "app/cli/demo_command.h"
#include "app/cli/probe_command.h"
#include "app/cli/rover_command.h"
#include "app/cli/sourcetable_command.h"
#include "app/cli/stop_signals.h"
#include "app/cli/windowed_launch.h"
#include "common/version.h"
#include "platform/clock.h"

// The locale is left as C: every text the program writes is English and UTF-8 whatever the
// user's locale, and loading that locale would cost a headless session 200 kB of resident
// memory for nothing but the system's error texts in another language.
int main(int argc, char** argv) {
  const quillon::cli::Arguments args(argv + 1, argv + argc);
  const std::string command = args.empty() ? std::string() : args.front();
  const quillon::cli::Arguments rest(args.empty() ? args.end() : args.begin() + 1, args.end());

  if (args.empty()) return quillon::cli::StartWindowedProgram(argv);
  if (command == "--version") {
    std::printf("ZEP Quillon %s\n", quillon::kVersion);
    return 0;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    quillon::cli::PrintUsage();
    return 0;
  }
  if (const auto status = quillon::cli::AnswerHelp(command, rest, stdout)) return *status;
  using quillon::cli::RunInThisProcess;
  if (command == "rover") return RunInThisProcess(quillon::cli::RunRoverCommand, rest);
  if (command == "base") return RunInThisProcess(quillon::cli::RunBaseCommand, rest);
  if (command == "demo") return RunInThisProcess(quillon::cli::RunDemoCommand, rest);
  if (command == "probe") return RunInThisProcess(quillon::cli::RunProbeCommand, rest);
  if (command == "sourcetable") {
    const quillon::cli::StopSignals signals;
    quillon::cli::ConsoleMessageSink messages;
    return quillon::cli::RunSourceTable(args, stdout, messages, quillon::RealClock(),
                                        quillon::cli::EnvironmentPassword(), signals.Fd());
  }
  quillon::cli::PrintUsage();
  return 2;
}
