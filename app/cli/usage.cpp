#include <cstdio>

#include "app/cli/commands.h"

namespace quillon::cli {

void PrintUsage() {
  std::fputs(
      "Usage: quillon [COMMAND] [OPTIONS]\n"
      "\n"
      "Relays GNSS corrections between an NTRIP caster and a receiver on a serial port or a\n"
      "Bluetooth link. Without a command the windowed program starts.\n"
      "\n"
      "Commands:\n"
      "  --help                 show this text\n"
      "  --version              show the program's version\n"
      "  sourcetable HOST[:PORT] [--long]\n"
      "                         list the mount points of a caster (port 2101 when omitted);\n"
      "                         --long shows each stream's main fields as a table\n",
      stdout);
}

}  // namespace quillon::cli
