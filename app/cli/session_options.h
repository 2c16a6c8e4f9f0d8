// The options of the command-line sessions (`quillon rover`, `quillon base`, `quillon demo`):
// parsed once, checked for what the dialog's controls would never let through, and applied to
// the settings record as the controls would be read.
#pragma once

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/also_file.h"
#include "app/cli/commands.h"
#include "app/cli/password_file.h"
#include "app/cli/protocol_options.h"
#include "common/great_circle.h"
#include "common/settings_record.h"
#include "serve/listen_socket.h"

namespace quillon {
struct BaseSettings;
struct RoverSettings;
}  // namespace quillon

namespace quillon::cli {

// The groups of options a command may take; OptionSpecs() (option_specs.h) names their flags.
enum SessionOption : unsigned {
  kOptCaster = 1u << 0,
  kOptMount = 1u << 1,
  kOptUser = 1u << 2,
  kOptPassword = 1u << 3,  // --password-file, or the environment's QUILLON_PASSWORD
  kOptDevice = 1u << 4,
  kOptBaud = 1u << 5,
  kOptAuthentication = 1u << 6,
  kOptGga = 1u << 7,
  kOptSettingsDir = 1u << 8,
  kOptTrace = 1u << 9,
  kOptSeconds = 1u << 10,
  kOptBluetooth = 1u << 11,
  kOptProtocol = 1u << 12,
  kOptReconnect = 1u << 13,
  kOptUpstream = 1u << 14,
  kOptAlso = 1u << 15,
  kOptLog = 1u << 16,     // --log and --log-keep
  kOptListen = 1u << 17,  // --listen and its --listen-*, --tcp-server
  kOptNmeaServer = 1u << 18,
};

// What a command takes: its groups of options, and the longest run --seconds may ask for.
struct CommandOptions {
  unsigned allowed = 0;
  int maxSeconds = 0;
};

// What both modes take.
inline constexpr unsigned kModeOptions =
    kOptCaster | kOptMount | kOptUser | kOptPassword | kOptDevice | kOptBaud | kOptSettingsDir |
    kOptTrace | kOptBluetooth | kOptProtocol | kOptReconnect | kOptLog | kOptListen;
inline constexpr CommandOptions kBaseOptions{kModeOptions | kOptAlso};
inline constexpr CommandOptions kRoverOptions{kModeOptions | kOptAuthentication | kOptGga |
                                              kOptUpstream | kOptNmeaServer};

struct SessionOptions {
  std::optional<std::u16string> address;
  std::optional<std::int32_t> port;
  std::optional<std::u16string> mountPoint;
  std::optional<std::u16string> userName;
  std::optional<std::u16string> password;
  // --password-file: read by TakePasswordFile, which may wait for a pipe's writer.
  std::optional<std::string> passwordFile;
  std::optional<std::u16string> device;
  std::optional<std::int32_t> baudIndex;
  std::optional<bool> noAuthentication;
  std::optional<bool> ggaOverride;
  double latitude = 0.0;
  double longitude = 0.0;
  std::optional<std::filesystem::path> settingsDir;
  bool trace = false;
  std::optional<int> seconds;
  // The Bluetooth device and port the selection dialog would choose; not saved.
  std::optional<std::u16string> btDevice;
  std::optional<std::int32_t> btPort;
  // Saved with the caster, but for --insecure.
  ProtocolOptions protocol;
  // After a lost session or a failed attempt, wait and try again; not saved. The Base's
  // casters then retry for ever.
  bool reconnect = false;
  std::optional<UpstreamChoice> upstream;
  // The Base's --also FILEs as given, and the casters ParseSessionCommand read from them, in
  // the same order; never saved.
  std::vector<std::string> alsoFiles;
  std::vector<ExtraCaster> also;
  // What the session relays, appended to files named by this strftime pattern (LogPattern), and
  // after how many days its files go (0: never); not saved.
  std::optional<std::string> logPattern;
  int logKeepDays = 0;
  // The program's own listeners: its caster, the stream as raw bytes, the receiver's output;
  // the caster's mount point (empty: the session's), the users file given and the credentials
  // ParseSessionCommand read from it, and how many clients each listener takes. Not saved.
  std::optional<ListenAddress> listen;
  std::optional<ListenAddress> tcpServer;
  std::optional<ListenAddress> nmeaServer;
  std::string listenMount;
  std::optional<std::string> listenUsersFile;
  std::vector<std::string> listenTokens;
  std::size_t listenMax = kDefaultMaxClients;
};

// Reads a whole number that is all of `text`; false for anything else, also out of range.
template <typename Number>
bool ParseWhole(std::string_view text, Number& value) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return problem == std::errc() && end == text.data() + text.size() && !text.empty();
}

// `value` of option `what` as wide text: UTF-8 of at most `maxBytes` bytes and no control
// characters, which would end up inside the request headers or the settings file. On a problem
// false with `error` naming `what`, the limit and the fault.
bool TextOption(std::string_view what, std::string_view value, std::size_t maxBytes,
                std::u16string& out, std::string& error);

// Reads "all" (the receiver's whole output) or "gga" with an optional ":SECONDS" (whole seconds,
// kMinGgaSeconds to kMaxGgaSeconds; 1 when not given); false for anything else.
bool ParseUpstream(std::string_view text, UpstreamChoice& choice);

// Reads "LAT,LON" in degrees (south and west negative, C notation whatever the locale); false
// unless both are numbers with |LAT| <= 90 and |LON| <= 180.
bool ParseLatLon(std::string_view text, double& latitude, double& longitude);

// The value of --near LAT,LON (`quillon sourcetable`, `quillon probe`): false with `error` set to
// one line for the user when it is no position (see ParseLatLon).
bool ParseNear(std::string_view value, GeoPosition& near, std::string& error);

// Splits "HOST[:PORT]" at its last ':' into `host` and `port`; an IPv6 address goes in brackets
// ("[2001:db8::1]:2101", `host` without them), or without them and then without a port. `port`
// stays as it was when none is given. false when the part after ':' is not a port number from 1
// to 65535.
bool SplitCasterArgument(std::string_view value, std::string_view& host, std::int32_t& port);

// Parses `args` (the words after the command) allowing the options `command` takes; opens no file:
// TakePasswordFile reads the --password-file afterwards.
// `environmentPassword` is QUILLON_PASSWORD when set; --password-file wins over it. A password
// is never taken from the command line. Texts are UTF-8 within the settings' limits (bytes:
// address 253, mount point 127, user name, password and device path 255) and may hold no
// control characters. --tls with a --caster that names no port gives port 443.
// On a problem returns false with `error` set to one line for the user; nothing is applied then.
bool ParseSessionOptions(const Arguments& args, const CommandOptions& command,
                         const std::optional<std::string>& environmentPassword,
                         SessionOptions& options, std::string& error);

// Once every option is taken: the protocol options checked together (CheckProtocolOptions),
// then port 443 for a --tls caster named without a port. false with `error` on a problem.
bool CompleteSessionOptions(SessionOptions& options, std::string& error);

// Reads the first line of the --password-file given, if any, into `options.password`, checked as
// the other texts are (kRefused with `error` set otherwise); see ReadPasswordFile for the wait.
PasswordFileRead TakePasswordFile(SessionOptions& options, const PasswordFileWait& wait,
                                  std::string& error);

// A login that is not saved, such as the one for a caster's protected source table: checks
// `user` and reads the password from `passwordFile` (with ReadPasswordFile's bound), or else
// takes `environmentPassword` (empty when neither is given). Each may have at most
// kMaxCredentialBytes bytes and no control characters. On a problem returns kRefused with
// `error` set to one line for the user; kStopAsked as ReadPasswordFile does.
PasswordFileRead ReadLogin(std::string_view user, const std::string& passwordFile,
                           const std::optional<std::string>& environmentPassword,
                           const PasswordFileWait& wait, std::string& password, std::string& error);

// Puts the given options into the record as the dialog's controls would be read; what was not
// given keeps its stored value. A --caster that names another caster brings that caster's saved
// protocol (SetCasterAddress); the protocol options given are saved with the caster
// (SetCasterProtocol).
void ApplySessionOptions(const SessionOptions& options, SettingsRecord& record);
void ApplyRoverOptions(const SessionOptions& options, RoverSettings& settings);
// The Base has no no-authentication option and stores 0.
void ApplyBaseOptions(const SessionOptions& options, BaseSettings& settings);

}  // namespace quillon::cli
