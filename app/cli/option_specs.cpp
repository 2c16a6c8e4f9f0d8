#include "app/cli/option_specs.h"

#include <arpa/inet.h>

#include <filesystem>

#include "common/baud.h"
#include "common/text.h"
#include "link/bluetooth_choice.h"
#include "session/log_pattern.h"
#include "session/stream_log.h"

namespace quillon::cli {
namespace {

// `text` as wide text of at most `maxUnits` units; false when it is longer.
bool WideOfAtMost(std::string_view text, std::size_t maxUnits, std::u16string& out) {
  out = EightBitToWide(std::string(text));
  return out.size() <= maxUnits && text.find('\0') == std::string_view::npos;
}

// A text option into `Field`, within the spec's limit.
template <std::optional<std::u16string> SessionOptions::*Field>
bool TakeText(const OptionSpec& spec, const std::string& value, const CommandOptions&,
              SessionOptions& options, std::string& error) {
  std::u16string text;
  if (!TextOption(spec.name, value, spec.limit, text, error)) return false;
  options.*Field = text;
  return true;
}

bool TakeCaster(const OptionSpec& spec, const std::string& value, const CommandOptions&,
                SessionOptions& options, std::string& error) {
  std::string_view host;
  std::int32_t port = -1;
  if (!SplitCasterArgument(value, host, port)) {
    error = "--caster: the port after ':' must be a number from 1 to 65535";
    return false;
  }
  if (port >= 0) options.port = port;
  std::u16string address;
  if (!TextOption("--caster address", host, spec.limit, address, error)) return false;
  options.address = address;
  return true;
}

bool TakePasswordFileName(const OptionSpec&, const std::string& value, const CommandOptions&,
                          SessionOptions& options, std::string&) {
  options.passwordFile = value;
  return true;
}

// Only named here: ParseSessionCommand reads the file once the options are all taken.
bool TakeAlsoFile(const OptionSpec&, const std::string& value, const CommandOptions&,
                  SessionOptions& options, std::string& error) {
  if (value.empty()) {
    error = "--also: the file name is empty";
    return false;
  }
  options.alsoFiles.push_back(value);
  return true;
}

bool TakeBtDevice(const OptionSpec& spec, const std::string& value, const CommandOptions&,
                  SessionOptions& options, std::string& error) {
  std::u16string name;
  if (value.empty() || !WideOfAtMost(value, spec.limit, name)) {
    error = "--bt-device: a device name as the Bluetooth selection lists it, 1 to " +
            std::to_string(spec.limit) + " characters";
    return false;
  }
  options.btDevice = name;
  return true;
}

bool TakeBtPort(const OptionSpec&, const std::string& value, const CommandOptions&,
                SessionOptions& options, std::string& error) {
  if (value != "1" && value != "2") {
    error = "--bt-port: 1 (XCOM2) or 2 (XCOM3)";
    return false;
  }
  options.btPort = value == "1" ? 1 : 2;
  return true;
}

bool TakeBaud(const OptionSpec&, const std::string& value, const CommandOptions&,
              SessionOptions& options, std::string& error) {
  std::uint32_t rate = 0;
  const std::int32_t index =
      ParseWhole(std::string_view(value), rate) ? BaudIndexForRate(rate) : -1;
  if (index < 0) {
    error = "--baud: one of 4800 9600 14400 19200 38400 57600 115200";
    return false;
  }
  options.baudIndex = index;
  return true;
}

bool TakeNtrip(const OptionSpec&, const std::string& value, const CommandOptions&,
               SessionOptions& options, std::string& error) {
  if (value != "1" && value != "2") {
    error = "--ntrip: 1 or 2 (the NTRIP version)";
    return false;
  }
  options.protocol.version = value == "1" ? NtripVersion::k1 : NtripVersion::k2;
  return true;
}

bool TakeCaFileOption(const OptionSpec&, const std::string& value, const CommandOptions&,
                      SessionOptions& options, std::string& error) {
  return TakeCaFile(value, options.protocol, error);
}

bool TakeGga(const OptionSpec&, const std::string& value, const CommandOptions&,
             SessionOptions& options, std::string& error) {
  double latitude = 0.0;
  double longitude = 0.0;
  if (!ParseLatLon(value, latitude, longitude)) {
    error = "--gga: expected LAT,LON in degrees, such as 52.52,13.40 (south and west negative)";
    return false;
  }
  options.ggaOverride = true;
  options.latitude = latitude;
  options.longitude = longitude;
  return true;
}

bool TakeUpstream(const OptionSpec&, const std::string& value, const CommandOptions&,
                  SessionOptions& options, std::string& error) {
  UpstreamChoice choice;
  if (!ParseUpstream(value, choice)) {
    error = "--upstream: all, or gga[:SECONDS] to send only GGA sentences, at most one per " +
            std::to_string(kMinGgaSeconds) + " to " + std::to_string(kMaxGgaSeconds) +
            " whole seconds (gga alone: one a second)";
    return false;
  }
  options.upstream = choice;
  return true;
}

bool TakeSettingsDir(const OptionSpec&, const std::string& value, const CommandOptions&,
                     SessionOptions& options, std::string& error) {
  if (value.empty()) {
    error = "--settings-dir: the folder is empty";
    return false;
  }
  options.settingsDir = std::filesystem::path(value);
  return true;
}

// Within the command's longest run.
bool TakeSeconds(const OptionSpec&, const std::string& value, const CommandOptions& command,
                 SessionOptions& options, std::string& error) {
  int seconds = 0;
  if (!ParseWhole(std::string_view(value), seconds) || seconds < 1 ||
      seconds > command.maxSeconds) {
    error = "--seconds: a number of seconds from 1 to " + std::to_string(command.maxSeconds);
    return false;
  }
  options.seconds = seconds;
  return true;
}

// A pattern whose names sort in time order, so that the files concatenate in name order, and
// hold no control characters.
bool TakeLog(const OptionSpec& spec, const std::string& value, const CommandOptions&,
             SessionOptions& options, std::string& error) {
  std::u16string text;
  if (!TextOption("--log", value, spec.limit, text, error)) return false;
  if (const std::string fault = LogPatternFault(LogPattern(value)); !fault.empty()) {
    error = "--log: " + fault;
    return false;
  }
  options.logPattern = value;
  return true;
}

bool TakeLogKeep(const OptionSpec& spec, const std::string& value, const CommandOptions&,
                 SessionOptions& options, std::string& error) {
  int days = 0;
  if (!ParseWhole(std::string_view(value), days) || days < 1 ||
      days > static_cast<int>(spec.limit)) {
    error = "--log-keep: a number of days from 1 to " + std::to_string(spec.limit);
    return false;
  }
  options.logKeepDays = days;
  return true;
}

// "[ADDR:]PORT": a port alone listens on every address.
template <std::optional<ListenAddress> SessionOptions::*Field>
bool TakeListenAddress(const OptionSpec& spec, const std::string& value, const CommandOptions&,
                       SessionOptions& options, std::string& error) {
  const std::string name(spec.name);
  std::int32_t port = -1;
  std::string_view host;
  if (std::int32_t alone = 0; ParseWhole(std::string_view(value), alone)) {
    port = alone >= 1 && alone <= 65535 ? alone : -1;
  } else if (!SplitCasterArgument(value, host, port)) {
    port = -1;
  }
  in6_addr address{};
  const std::string hostText(host);
  if (port < 0 || (!host.empty() && inet_pton(AF_INET, hostText.c_str(), &address) != 1 &&
                   inet_pton(AF_INET6, hostText.c_str(), &address) != 1)) {
    error = name + ": [ADDR:]PORT, a port from 1 to 65535 and, when given, an IPv4 or IPv6 " +
            "address of this machine ([::1]:2101)";
    return false;
  }
  options.*Field = ListenAddress{hostText, static_cast<std::uint16_t>(port)};
  return true;
}

// A name that stands as it is in a request's path.
bool TakeListenMount(const OptionSpec& spec, const std::string& value, const CommandOptions&,
                     SessionOptions& options, std::string& error) {
  std::u16string text;
  if (!TextOption(spec.name, value, spec.limit, text, error)) return false;
  if (value.empty() || value.find_first_of(" /?#%") != std::string::npos) {
    error = "--listen-mount: a name without blanks and without / ? # %";
    return false;
  }
  options.listenMount = value;
  return true;
}

bool TakeListenUsers(const OptionSpec&, const std::string& value, const CommandOptions&,
                     SessionOptions& options, std::string&) {
  options.listenUsersFile = value;
  return true;
}

bool TakeListenMax(const OptionSpec& spec, const std::string& value, const CommandOptions&,
                   SessionOptions& options, std::string& error) {
  std::size_t count = 0;
  if (!ParseWhole(std::string_view(value), count) || count < 1 || count > spec.limit) {
    error = "--listen-max: a number of clients from 1 to " + std::to_string(spec.limit);
    return false;
  }
  options.listenMax = count;
  return true;
}

constexpr OptionSpec kOptionSpecs[] = {
    {.name = "--caster",
     .group = kOptCaster,
     .value = "HOST[:PORT]",
     .take = TakeCaster,
     .limit = kMaxAddressBytes,
     .help = "caster address (at most {max} bytes) and port (1-65535)\n"
             "(an IPv6 address with a port in brackets: [2001:db8::1]:2101)"},
    {.name = "--mount",
     .group = kOptMount,
     .value = "NAME",
     .take = TakeText<&SessionOptions::mountPoint>,
     .limit = kMaxMountPointBytes,
     .help = "mount point, at most {max} bytes"},
    {.name = "--user",
     .group = kOptUser,
     .value = "NAME",
     .take = TakeText<&SessionOptions::userName>,
     .limit = kMaxCredentialBytes,
     .help = "user name (such as an e-mail address), at most {max} bytes",
     .baseHelp = "user name for NTRIP 2's login (at most {max} bytes); NTRIP 1\n"
                 "sends the password alone"},
    {.name = "--password-file",
     .group = kOptPassword,
     .value = "FILE",
     .take = TakePasswordFileName,
     .limit = kMaxCredentialBytes,
     .help = "password (at most {max} bytes): the first line of FILE, a\n"
             "regular file or a pipe; QUILLON_PASSWORD in the environment\n"
             "also works. Never given on the command line."},
    {.name = "--device",
     .group = kOptDevice,
     .value = "PATH",
     .take = TakeText<&SessionOptions::device>,
     .limit = kMaxDevicePathBytes,
     .help = "receiver link: a serial device such as /dev/ttyUSB0 or a\n"
             "/dev/serial/by-id/ path (at most {max} bytes), or BLUETOOTH"},
    {.name = "--bt-device",
     .group = kOptBluetooth,
     .value = "NAME",
     .take = TakeBtDevice,
     .limit = kDeviceNameUnits,
     .help = "with BLUETOOTH: the device, by its name in the Bluetooth list\n"
             "(default: the device chosen last)"},
    {.name = "--bt-port",
     .group = kOptBluetooth,
     .value = "1|2",
     .take = TakeBtPort,
     .help = "with BLUETOOTH: port XCOM2 (1) or XCOM3 (2, the default)"},
    {.name = "--baud",
     .group = kOptBaud,
     .value = "N",
     .take = TakeBaud,
     .help = "4800 9600 14400 19200 38400 57600 115200"},
    {.name = "--ntrip",
     .group = kOptProtocol,
     .value = "1|2",
     .take = TakeNtrip,
     .help = "NTRIP version spoken with the caster (a new caster: 1)"},
    {.name = "--tls",
     .group = kOptProtocol,
     .set = [](SessionOptions& options) { options.protocol.tls = true; },
     .help = "NTRIP 2 over TLS (port 443 when --caster names none), or\n"
             "back to a plain connection keeping the version"},
    {.name = "--no-tls",
     .group = kOptProtocol,
     .set = [](SessionOptions& options) { options.protocol.tls = false; },
     .help = ""},
    {.name = "--ca-file",
     .group = kOptProtocol,
     .value = "FILE",
     .take = TakeCaFileOption,
     .help = "also trust this certificate authority (PEM) for the caster"},
    {.name = "--no-ca-file",
     .group = kOptProtocol,
     .set = [](SessionOptions& options) { options.protocol.caFile = std::string(); },
     .help = "trust only the system's authorities again"},
    {.name = "--insecure",
     .group = kOptProtocol,
     .set = [](SessionOptions& options) { options.protocol.insecure = true; },
     .help = "with TLS: do not verify the caster's certificate, for this\n"
             "run only (never saved)\n"
             "The version, TLS and CA file are saved with the caster."},
    {.name = "--no-auth",
     .group = kOptAuthentication,
     .set = [](SessionOptions& options) { options.noAuthentication = true; },
     .help = "\"Do not use NTRIP authentication.\" on or off"},
    {.name = "--auth",
     .group = kOptAuthentication,
     .set = [](SessionOptions& options) { options.noAuthentication = false; },
     .help = ""},
    {.name = "--gga",
     .group = kOptGga,
     .value = "LAT,LON",
     .take = TakeGga,
     .help = "send this position in the receiver's GGA sentences (degrees,\n"
             "south and west negative)"},
    {.name = "--no-gga",
     .group = kOptGga,
     .set = [](SessionOptions& options) { options.ggaOverride = false; },
     .help = "send the receiver's own position again"},
    {.name = "--upstream",
     .group = kOptUpstream,
     .value = "all|gga[:SECONDS]",
     .take = TakeUpstream,
     .limit = kMaxGgaSeconds,
     .help = "what goes to the caster: the receiver's whole output (all, the\n"
             "default), or only its GGA sentences, at most one per SECONDS\n"
             "(whole seconds, 1 to {max}; gga alone: 1)"},
    {.name = "--reconnect",
     .group = kOptReconnect,
     .set = [](SessionOptions& options) { options.reconnect = true; },
     .help = "after a lost session or a failed login, wait and log in again\n"
             "rather than give up: 5 s, doubling to 60 s, 5 s again after a\n"
             "session of a minute or more, 60 s after a refusal (not saved)",
     .baseHelp = "every caster retries for ever, 60 s apart, rather than giving\n"
                 "up after 15 attempts (not saved)"},
    {.name = "--also",
     .group = kOptAlso,
     .value = "FILE",
     .take = TakeAlsoFile,
     .help = "upload to one more caster too, described in FILE by lines\n"
             "of KEY = VALUE: caster, mount, user, password-file, ntrip,\n"
             "tls (yes or no) and ca-file, as the options of those names;\n"
             "refused when others can write FILE; repeatable, never saved"},
    {.name = "--log",
     .group = kOptLog,
     .value = "PATTERN",
     .take = TakeLog,
     .limit = kMaxLogPatternBytes,
     .help = "append every byte relayed to the receiver to files named by\n"
             "PATTERN (at most {max} bytes), strftime fields in UTC, the\n"
             "larger units first: raw/%Y-%m-%d_%H.rtcm3 (not saved)",
     .baseHelp = "append every byte read from the receiver to files named by\n"
                 "PATTERN (at most {max} bytes), strftime fields in UTC, the\n"
                 "larger units first: raw/%Y-%m-%d_%H.rtcm3 (not saved)"},
    {.name = "--log-keep",
     .group = kOptLog,
     .value = "DAYS",
     .take = TakeLogKeep,
     .limit = kMaxLogKeepDays,
     .help = "with --log: once an hour, remove that pattern's files last\n"
             "written more than DAYS (1 to {max}) days ago, and nothing else"},
    {.name = "--listen",
     .group = kOptListen,
     .value = "[ADDR:]PORT",
     .take = TakeListenAddress<&SessionOptions::listen>,
     .help = "be a caster too: NTRIP 1 and 2 clients on PORT (every address\n"
             "when no ADDR is given) get the corrections relayed to the\n"
             "receiver, browsers a status page (not saved)",
     .baseHelp = "be a caster too: NTRIP 1 and 2 clients on PORT (every address\n"
                 "when no ADDR is given) get the receiver's output, browsers a\n"
                 "status page (not saved)"},
    {.name = "--listen-mount",
     .group = kOptListen,
     .value = "NAME",
     .take = TakeListenMount,
     .limit = kMaxMountPointBytes,
     .help = "with --listen: its mount point (default: --mount's)"},
    {.name = "--listen-users",
     .group = kOptListen,
     .value = "FILE",
     .take = TakeListenUsers,
     .help = "with --listen: only the user:password lines of FILE may log\n"
             "in (refused unless only its owner can read FILE)"},
    {.name = "--listen-max",
     .group = kOptListen,
     .value = "N",
     .take = TakeListenMax,
     .limit = kMostMaxClients,
     .help = "clients each listener takes (1 to {max}, default 100)"},
    {.name = "--tcp-server",
     .group = kOptListen,
     .value = "[ADDR:]PORT",
     .take = TakeListenAddress<&SessionOptions::tcpServer>,
     .help = "the same stream as raw bytes to TCP clients on PORT"},
    {.name = "--nmea-server",
     .group = kOptNmeaServer,
     .value = "[ADDR:]PORT",
     .take = TakeListenAddress<&SessionOptions::nmeaServer>,
     .help = "the receiver's own output to TCP clients on PORT, for gpsd\n"
             "and other programs on this machine (127.0.0.1:PORT)"},
    {.name = "--settings-dir",
     .group = kOptSettingsDir,
     .value = "DIR",
     .take = TakeSettingsDir,
     .help = "settings folder for this run, made private (mode 0700 whatever\n"
             "the umask) when missing; refused when others can write it\n"
             "(default: $QUILLON_SETTINGS_DIR, else $XDG_CONFIG_HOME/quillon)"},
    {.name = "--trace",
     .group = kOptTrace,
     .set = [](SessionOptions& options) { options.trace = true; },
     .help = "print trace lines on standard error"},
    {.name = "--seconds", .group = kOptSeconds, .value = "N", .take = TakeSeconds},
};

}  // namespace

std::span<const OptionSpec> OptionSpecs() { return kOptionSpecs; }

const OptionSpec* FindOption(std::string_view name, unsigned groups) {
  for (const OptionSpec& spec : kOptionSpecs) {
    if (spec.name == name && (spec.group & groups) != 0) return &spec;
  }
  return nullptr;
}

}  // namespace quillon::cli
