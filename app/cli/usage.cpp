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
      "  rover OPTIONS          run one Rover session (NTRIP client) without windows\n"
      "  base OPTIONS           run one Base session (NTRIP server) without windows: upload\n"
      "                         the receiver's output to a mount point, retrying on failure\n"
      "  demo [--seconds N]     relay from a built-in caster to a simulated receiver on a\n"
      "                         pseudo-terminal for N seconds (10 by default) and check the bytes\n"
      "  sourcetable HOST[:PORT] [--long] [--near LAT,LON] [--limit N] [--format text|json]\n"
      "                         list every stream of a caster (port 2101 when omitted);\n"
      "                         --long shows each stream's main fields as a table, --format\n"
      "                         json every field; --near sorts by the distance from LAT,LON\n"
      "                         and shows it, --limit keeps the first N\n"
      "  --help                 show this text\n"
      "  --version              show the program's version\n"
      "\n"
      "Options of rover (what is not given is taken from the saved Rover settings):\n"
      "  --caster HOST[:PORT]   caster address and port\n"
      "  --mount NAME           mount point\n"
      "  --user NAME            user name\n"
      "  --password-file FILE   password: the first line of FILE; QUILLON_PASSWORD in the\n"
      "                         environment also works. Never given on the command line.\n"
      "  --device PATH          receiver link: a serial device such as /dev/ttyUSB0, or BLUETOOTH\n"
      "  --bt-device NAME       with BLUETOOTH: the device, by its name in the Bluetooth list\n"
      "                         (default: the device chosen last)\n"
      "  --bt-port 1|2          with BLUETOOTH: port XCOM2 (1) or XCOM3 (2, the default)\n"
      "  --baud N               4800 9600 14400 19200 38400 57600 115200\n"
      "  --no-auth / --auth     \"Do not use NTRIP authentication.\" on or off\n"
      "  --gga LAT,LON          send this position in the receiver's GGA sentences (degrees,\n"
      "  --no-gga               south and west negative), or stop doing so\n"
      "  --settings-dir DIR     settings folder for this run (default: $QUILLON_SETTINGS_DIR,\n"
      "                         else $XDG_CONFIG_HOME/quillon)\n"
      "  --trace                print trace lines on standard error\n"
      "\n"
      "rover saves the settings with the options applied to \"ntripinfo.bin\", as Connect does,\n"
      "then prints a status line a second: HH:MM:SS <rate> B/s <total> bytes. Messages go to\n"
      "standard error. Ctrl+C (or SIGTERM) stops the session; the stop takes about 5 seconds.\n"
      "Exit status: 0 after a stop, 1 when the settings were refused or the session gave up,\n"
      "2 for options that cannot be used.\n"
      "\n"
      "Options of base (what is not given is taken from the saved Base settings): --caster,\n"
      "--mount, --password-file, --device, --bt-device, --bt-port, --baud, --settings-dir and\n"
      "--trace, as for rover.\n"
      "\n"
      "base saves the settings with the options applied to \"sourceinfo.bin\", then prints a\n"
      "status line a second: the counters while it uploads, or the reason of a failed attempt\n"
      "and the countdown to the next one. It makes 15 attempts, 60 seconds apart; after the\n"
      "last it prints the final message and exits 1. Ctrl+C (or SIGTERM) stops it (exit 0).\n",
      stdout);
}

}  // namespace quillon::cli
