#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "app/cli/commands.h"
#include "app/cli/demo_command.h"
#include "app/cli/option_specs.h"
#include "app/cli/probe_command.h"

namespace quillon::cli {
namespace {

// The column where an option's description starts.
constexpr std::size_t kHelpColumn = 25;

constexpr char kTextRule[] =
    "Texts are UTF-8 whatever the locale (a letter with an accent takes two bytes) and may\n"
    "hold no control characters (such as a line break).\n";

constexpr char kRoverText[] = "Runs one Rover session (NTRIP client) without windows.\n";

constexpr char kRoverNotes[] =
    "rover saves the settings with the options applied to \"ntripinfo.bin\", as Connect does,\n"
    "then prints a status line a second: HH:MM:SS <rate> B/s <total> bytes, what the stream\n"
    "holds and the receiver's solution from its GGA (RTK fixed, 14 sats, age 1.0 s); when\n"
    "standard output is not a terminal, a line per change of state or of the receiver's fix,\n"
    "that line once a minute, and at the stop the time to the first RTK fixed.\n"
    "Messages go to standard error. With --reconnect a failure does not end the session: the\n"
    "status line shows its reason and the countdown to the next login. Ctrl+C (or SIGTERM)\n"
    "stops the session; the stop takes about 5 seconds.\n"
    "Exit status: 0 after a stop, 1 when the settings were refused or the session gave up,\n"
    "2 for options that cannot be used (nothing is saved then).\n";

constexpr char kBaseText[] =
    "Runs one Base session (NTRIP server) without windows: uploads the receiver's output to a\n"
    "mount point, retrying on failure.\n";

constexpr char kBaseNotes[] =
    "base saves the settings with the options applied to \"sourceinfo.bin\", then prints a\n"
    "status line a second: the counters while it uploads, or the reason of a failed attempt\n"
    "and the countdown to the next one; when standard output is not a terminal, a line per\n"
    "change of state and the counters once a minute. It makes 15 attempts, 60 seconds apart;\n"
    "after the last it prints the final message and exits 1. Ctrl+C (or SIGTERM) stops it\n"
    "(exit 0). Options that cannot be used exit 2 and save nothing.\n";

constexpr char kDemoUsage[] =
    "Usage: quillon demo [--seconds N] [--trace]\n"
    "\n"
    "Relays from a built-in caster to a simulated receiver on a pseudo-terminal for N seconds\n"
    "(%d by default, at most %d) and checks the bytes.\n";

constexpr char kSourceTableUsage[] =
    "Usage: quillon sourcetable HOST[:PORT] [--user NAME [--password-file FILE]] [--long]\n"
    "                           [--near LAT,LON] [--limit N] [--format text|json]\n"
    "                           [--ntrip 1|2] [--tls [--ca-file FILE | --insecure]]\n"
    "\n"
    "Lists every stream of a caster (port 2101 when omitted, 443 with --tls). --ntrip 2 asks\n"
    "with NTRIP version 2 (\"GET /\"), --tls over TLS; NTRIP 1 is the default.\n"
    "--long shows each stream's main fields as a table, --format json every field; --near\n"
    "sorts the streams by their distance from LAT,LON (degrees, south and west negative) and\n"
    "shows it in km; --limit keeps the first N.\n"
    "--user logs in to a caster that protects its table (at most 255 bytes); the password is\n"
    "the first line of --password-file FILE, or QUILLON_PASSWORD. Nothing is saved, and\n"
    "nothing saved is used: give --ntrip 2 for an NTRIP 2 caster here too.\n"
    "A table that ends badly (cut off, over 4 MB, a NUL byte) is listed as far as it came,\n"
    "one line says how it ended, and the exit status is 1.\n";

constexpr char kProbeUsage[] =
    "Usage: quillon probe HOST[:PORT]/MOUNT [--seconds N] [--user NAME] [--password-file FILE]\n"
    "                     [--near LAT,LON] [--format text|json] [--ntrip 1|2]\n"
    "                     [--tls [--ca-file FILE | --insecure]]\n"
    "\n"
    "Logs in to a mount point as a Rover without a receiver (port 2101 when omitted, 443 with\n"
    "--tls), listens for N seconds (%d by default, 1 to %d; Ctrl+C ends it early) and tells\n"
    "what the stream holds: each RTCM 3 message with its name, count and rate, the station ID,\n"
    "its position (and with --near LAT,LON its distance from there), its antenna and\n"
    "receiver, the data rate, CRC failures and the bytes outside frames. --format json prints\n"
    "the same as one JSON object. The password is the first line of --password-file FILE, or\n"
    "QUILLON_PASSWORD; nothing is saved, and nothing saved is used (give --ntrip 2 for an\n"
    "NTRIP 2 caster, --tls for one served over TLS).\n"
    "To pick the nearest mount point that really sends what you need:\n"
    "  quillon sourcetable HOST --near LAT,LON --limit 5\n"
    "  quillon probe HOST/MOUNT --near LAT,LON\n"
    "Exit status: 0 when RTCM 3 came, 1 when none did or the login failed, 2 for options that\n"
    "cannot be used.\n";

constexpr char kCommands[] =
    "Usage: quillon [COMMAND] [OPTIONS]\n"
    "\n"
    "Relays GNSS corrections between an NTRIP caster and a receiver on a serial port or a\n"
    "Bluetooth link. Without a command the windowed program (quillon-gui) starts.\n"
    "\n"
    "Commands:\n"
    "  rover OPTIONS          run one Rover session (NTRIP client) without windows\n"
    "  base OPTIONS           run one Base session (NTRIP server) without windows: upload\n"
    "                         the receiver's output to a mount point, retrying on failure\n"
    "  demo [--seconds N]     relay from a built-in caster to a simulated receiver on a\n"
    "                         pseudo-terminal for N seconds (10 by default) and check the bytes\n"
    "  probe HOST[:PORT]/MOUNT [--seconds N] [--user NAME] [--password-file FILE]\n"
    "        [--near LAT,LON] [--format text|json] [--ntrip 1|2] [--tls ...]\n"
    "                         listen to a mount point for N seconds (10 by default) and tell\n"
    "                         which RTCM 3 messages, station and position it sends\n"
    "  sourcetable HOST[:PORT] [--user NAME [--password-file FILE]] [--long]\n"
    "              [--near LAT,LON] [--limit N] [--format text|json]\n"
    "              [--ntrip 1|2] [--tls [--ca-file FILE | --insecure]]\n"
    "                         list every stream of a caster (port 2101 when omitted);\n"
    "                         --long shows each stream's main fields as a table, --format\n"
    "                         json every field; --near sorts by the distance from LAT,LON\n"
    "                         and shows it, --limit keeps the first N\n"
    "  --help                 show this text; COMMAND --help shows that command's\n"
    "  --version              show the program's version\n";

// `help` with "{max}" replaced by `limit`, each line but the first indented to the column.
std::string HelpLines(std::string_view help, std::size_t limit) {
  std::string lines;
  for (std::size_t at = 0; at < help.size(); ++at) {
    if (help.substr(at).starts_with("{max}")) {
      lines += std::to_string(limit);
      at += 4;
    } else {
      lines += help[at];
      if (help[at] == '\n') lines.append(kHelpColumn, ' ');
    }
  }
  return lines;
}

void PrintOptions(const CommandOptions& command, bool base, std::FILE* out) {
  std::fprintf(out, "Options of %s (what is not given is taken from the saved %s settings):\n",
               base ? "base" : "rover", base ? "Base" : "Rover");
  const std::span<const OptionSpec> specs = OptionSpecs();
  const auto shown = [&](const OptionSpec& spec) {
    return (spec.group & command.allowed) != 0 && spec.help != nullptr;
  };
  for (std::size_t i = 0; i < specs.size(); ++i) {
    if (!shown(specs[i])) continue;
    std::string names = "  " + std::string(specs[i].name);
    if (specs[i].value != nullptr) names += std::string(" ") + specs[i].value;
    const OptionSpec& described = specs[i];
    // The flags whose lines are these too.
    while (i + 1 < specs.size() && shown(specs[i + 1]) && *specs[i + 1].help == '\0') {
      names += " / " + std::string(specs[++i].name);
    }
    names += names.size() < kHelpColumn ? std::string(kHelpColumn - names.size(), ' ')
                                        : "\n" + std::string(kHelpColumn, ' ');
    const char* help = base && described.baseHelp != nullptr ? described.baseHelp : described.help;
    std::fprintf(out, "%s%s\n", names.c_str(), HelpLines(help, described.limit).c_str());
  }
  std::fputs("  -h, --help             show this text\n", out);
  std::fputs(kTextRule, out);
}

void PrintRover(std::FILE* out) {
  PrintOptions(kRoverOptions, false, out);
  std::fputs("\n", out);
  std::fputs(kRoverNotes, out);
}

void PrintBase(std::FILE* out) {
  PrintOptions(kBaseOptions, true, out);
  std::fputs("\n", out);
  std::fputs(kBaseNotes, out);
}

}  // namespace

void PrintUsage() {
  std::fputs(kCommands, stdout);
  std::fputs("\n", stdout);
  PrintRover(stdout);
  std::fputs("\n", stdout);
  PrintBase(stdout);
}

std::optional<int> AnswerHelp(std::string_view command, const Arguments& args, std::FILE* out) {
  bool asked = false;
  for (const std::string& word : args) asked = asked || word == "--help" || word == "-h";
  if (!asked) return std::nullopt;
  if (command == "rover") {
    std::fprintf(out, "Usage: quillon rover [OPTIONS]\n\n%s\n", kRoverText);
    PrintRover(out);
  } else if (command == "base") {
    std::fprintf(out, "Usage: quillon base [OPTIONS]\n\n%s\n", kBaseText);
    PrintBase(out);
  } else if (command == "demo") {
    std::fprintf(out, kDemoUsage, kDefaultDemoSeconds, kMaxDemoSeconds);
  } else if (command == "probe") {
    std::fprintf(out, kProbeUsage, kDefaultProbeSeconds, kMaxProbeSeconds);
  } else if (command == "sourcetable") {
    std::fputs(kSourceTableUsage, out);
  } else {
    return std::nullopt;
  }
  std::fflush(out);
  return 0;
}

}  // namespace quillon::cli
