// The command-line front end: one function per subcommand, each returning the exit status.
#pragma once

#include <string>
#include <vector>

namespace quillon::cli {

using Arguments = std::vector<std::string>;

// Prints the usage text of every subcommand.
void PrintUsage();

}  // namespace quillon::cli
