// The command-line front end: one function per subcommand, each returning the exit status.
#pragma once

#include <string>
#include <vector>

namespace quillon::cli {

using Arguments = std::vector<std::string>;

// Prints the usage text of every subcommand.
void PrintUsage();

// `quillon rover OPTIONS` and `quillon demo [--seconds N]` in this process, stopped by
// SIGINT or SIGTERM. `args` are the words after the command.
int RunRover(const Arguments& args);
// `quillon base OPTIONS`, likewise.
int RunBase(const Arguments& args);
int RunDemo(const Arguments& args);

}  // namespace quillon::cli
