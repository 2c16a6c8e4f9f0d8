// The command-line front end: one function per subcommand, each returning the exit status.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

using Arguments = std::vector<std::string>;

// The exit status of a session command stopped (SIGINT or SIGTERM) before its session began, as
// a shell reports a command ended by Ctrl+C: neither a stop after a session (0) nor options it
// cannot use (2).
inline constexpr int kExitStoppedBeforeStart = 130;

// [[gnu::cold]]: a command a Rover or Base session never runs. Its code, and what only it calls,
// is kept small and apart from the sessions' pages, so a session does not map it.

// Prints the usage text of every subcommand.
[[gnu::cold]] void PrintUsage();

// When the words after `command` ask for help ("--help" or "-h" among them), prints that
// command's usage on `out` and returns 0; nullopt when they do not, or `command` is none of
// rover, base, demo, probe and sourcetable.
std::optional<int> AnswerHelp(std::string_view command, const Arguments& args, std::FILE* out);

}  // namespace quillon::cli
