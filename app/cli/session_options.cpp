#include "app/cli/session_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "common/baud.h"
#include "common/host_history.h"
#include "common/text.h"
#include "common/utf8.h"
#include "common/wide.h"
#include "link/bluetooth_choice.h"
#include "rover/rover_settings.h"

namespace quillon::cli {
namespace {

// What the dialog's port box holds at most.
constexpr std::size_t kMaxPortDigits = 6;

struct Flag {
  std::string_view name;
  unsigned option;
  bool takesValue;
};

constexpr Flag kFlags[] = {
    {"--caster", kOptCaster, true},          {"--mount", kOptMount, true},
    {"--user", kOptUser, true},              {"--password-file", kOptPassword, true},
    {"--device", kOptDevice, true},          {"--baud", kOptBaud, true},
    {"--no-auth", kOptAuthentication, false}, {"--auth", kOptAuthentication, false},
    {"--gga", kOptGga, true},                {"--no-gga", kOptGga, false},
    {"--settings-dir", kOptSettingsDir, true}, {"--trace", kOptTrace, false},
    {"--seconds", kOptSeconds, true},        {"--bt-device", kOptBluetooth, true},
    {"--bt-port", kOptBluetooth, true},      {"--ntrip", kOptProtocol, true},
    {"--tls", kOptProtocol, false},          {"--no-tls", kOptProtocol, false},
    {"--ca-file", kOptProtocol, true},       {"--no-ca-file", kOptProtocol, false},
    {"--insecure", kOptProtocol, false},     {"--reconnect", kOptReconnect, false},
    {"--upstream", kOptUpstream, true},
};

// `text` as wide text of at most `maxUnits` units; false when it is longer.
bool WideOfAtMost(std::string_view text, std::size_t maxUnits, std::u16string& out) {
  out = EightBitToWide(std::string(text));
  return out.size() <= maxUnits && text.find('\0') == std::string_view::npos;
}

// `value` of option `what` as wide text: UTF-8 of at most `maxBytes` bytes and no control
// characters, which would end up inside the request headers or the settings file. On a problem
// false with `error` naming `what`, the limit and the fault.
bool TextOption(std::string_view what, std::string_view value, std::size_t maxBytes,
                std::u16string& out, std::string& error) {
  if (value.size() > maxBytes) {
    error = std::string(what) + " takes at most " + std::to_string(maxBytes) +
            " bytes of UTF-8 (a letter with an accent takes two)";
    return false;
  }
  if (!IsValidUtf8(value)) {
    error = std::string(what) + " is not UTF-8 text";
    return false;
  }
  out = FromUtf8(value);
  if (HasControlCharacter(out)) {
    error = std::string(what) + " takes no control characters (such as a line break)";
    return false;
  }
  return true;
}

bool ParseDouble(std::string_view text, double& value) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return problem == std::errc() && end == text.data() + text.size() && !text.empty() &&
         std::isfinite(value);
}

bool ParseCaster(std::string_view value, SessionOptions& options, std::string& error) {
  std::string_view host;
  std::int32_t port = -1;
  if (!SplitCasterArgument(value, host, port)) {
    error = "--caster: the port after ':' must be a number from 1 to 65535";
    return false;
  }
  if (port >= 0) options.port = port;
  std::u16string address;
  if (!TextOption("--caster address", host, kMaxAddressBytes, address, error)) return false;
  options.address = address;
  return true;
}

bool ParseGga(std::string_view value, SessionOptions& options, std::string& error) {
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

// The password as given, checked as the other texts are.
bool TakePassword(const std::string& password, SessionOptions& options, std::string& error) {
  std::u16string wide;
  if (!TextOption("the password", password, kMaxCredentialBytes, wide, error)) return false;
  options.password = wide;
  return true;
}

bool ParseValue(std::string_view flag, const std::string& value, SessionOptions& options,
                std::string& error) {
  if (flag == "--caster") return ParseCaster(value, options, error);
  if (IsProtocolFlag(flag)) return TakeProtocolOption(flag, value, options.protocol, error);
  if (flag == "--password-file") {
    options.passwordFile = value;
    return true;
  }
  if (flag == "--gga") return ParseGga(value, options, error);
  if (flag == "--settings-dir") {
    if (value.empty()) {
      error = "--settings-dir: the folder is empty";
      return false;
    }
    options.settingsDir = std::filesystem::path(value);
    return true;
  }
  if (flag == "--baud") {
    std::uint32_t rate = 0;
    const std::int32_t index = ParseWhole(std::string_view(value), rate) ? BaudIndexForRate(rate) : -1;
    if (index < 0) {
      error = "--baud: one of 4800 9600 14400 19200 38400 57600 115200";
      return false;
    }
    options.baudIndex = index;
    return true;
  }
  if (flag == "--bt-device") {
    std::u16string name;
    if (value.empty() || !WideOfAtMost(value, kDeviceNameUnits, name)) {
      error = "--bt-device: a device name as the Bluetooth selection lists it, 1 to 255 "
              "characters";
      return false;
    }
    options.btDevice = name;
    return true;
  }
  if (flag == "--bt-port") {
    if (value != "1" && value != "2") {
      error = "--bt-port: 1 (XCOM2) or 2 (XCOM3)";
      return false;
    }
    options.btPort = value == "1" ? 1 : 2;
    return true;
  }
  if (flag == "--upstream") {
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
  if (flag == "--seconds") {
    int seconds = 0;
    if (!ParseWhole(std::string_view(value), seconds) || seconds < 1 || seconds > 86400) {
      error = "--seconds: a number of seconds from 1 to 86400";
      return false;
    }
    options.seconds = seconds;
    return true;
  }
  std::u16string text;
  const std::size_t limit = flag == "--user"    ? kMaxCredentialBytes
                            : flag == "--mount" ? kMaxMountPointBytes
                                                : kMaxDevicePathBytes;
  if (!TextOption(flag, value, limit, text, error)) return false;
  if (flag == "--user") options.userName = text;
  if (flag == "--mount") options.mountPoint = text;
  if (flag == "--device") options.device = text;
  return true;
}

}  // namespace

bool ParseUpstream(std::string_view text, UpstreamChoice& choice) {
  if (text == "all") {
    choice.ggaSeconds = 0;
    return true;
  }
  if (!text.starts_with("gga")) return false;
  std::int32_t seconds = kMinGgaSeconds;
  if (text.size() > 3 && (text[3] != ':' || !ParseWhole(text.substr(4), seconds))) return false;
  if (seconds < kMinGgaSeconds || seconds > kMaxGgaSeconds) return false;
  choice.ggaSeconds = seconds;
  return true;
}

bool ParseLatLon(std::string_view text, double& latitude, double& longitude) {
  const auto comma = text.find(',');
  return comma != std::string_view::npos && ParseDouble(text.substr(0, comma), latitude) &&
         ParseDouble(text.substr(comma + 1), longitude) && std::fabs(latitude) <= 90.0 &&
         std::fabs(longitude) <= 180.0;
}

bool ParseNear(std::string_view value, GeoPosition& near, std::string& error) {
  if (ParseLatLon(value, near.latitude, near.longitude)) return true;
  error = "--near: expected LAT,LON in degrees, such as 52.52,13.40 (south and west negative)";
  return false;
}

bool SplitCasterArgument(std::string_view value, std::string_view& host, std::int32_t& port) {
  host = value;
  std::string_view digits;
  if (const auto close = value.find(']'); value.starts_with('[') && close != value.npos) {
    host = value.substr(1, close - 1);
    const std::string_view rest = value.substr(close + 1);
    if (rest.empty()) return true;
    if (!rest.starts_with(':')) return false;
    digits = rest.substr(1);
  } else {
    const auto colon = value.rfind(':');
    // Without brackets an IPv6 address, with its many ':', carries no port.
    if (colon == std::string_view::npos || value.find(':') != colon) return true;
    host = value.substr(0, colon);
    digits = value.substr(colon + 1);
  }
  std::int32_t number = 0;
  if (digits.size() > kMaxPortDigits || !ParseWhole(digits, number) || number < 1 ||
      number > 65535) {
    return false;
  }
  port = number;
  return true;
}

bool ParseSessionOptions(const Arguments& args, unsigned allowed,
                         const std::optional<std::string>& environmentPassword,
                         SessionOptions& options, std::string& error) {
  SessionOptions parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--password" || word.rfind("--password=", 0) == 0) {
      error = "a password is never taken from the command line (other users can see it): use "
              "--password-file FILE or QUILLON_PASSWORD";
      return false;
    }
    std::string_view flag = word;
    std::string value;
    bool inlineValue = false;
    if (const auto equals = word.find('='); word.rfind("--", 0) == 0 && equals != std::string::npos) {
      flag = std::string_view(word).substr(0, equals);
      value = word.substr(equals + 1);
      inlineValue = true;
    }
    const Flag* known = nullptr;
    for (const Flag& candidate : kFlags) {
      if (candidate.name == flag && (candidate.option & allowed) != 0) known = &candidate;
    }
    if (known == nullptr) {
      error = "unknown option " + std::string(flag);
      return false;
    }
    if (!known->takesValue) {
      if (inlineValue) {
        error = std::string(flag) + " takes no value";
        return false;
      }
      if (flag == "--no-auth") parsed.noAuthentication = true;
      if (flag == "--auth") parsed.noAuthentication = false;
      if (flag == "--no-gga") parsed.ggaOverride = false;
      if (flag == "--trace") parsed.trace = true;
      if (flag == "--reconnect") parsed.reconnect = true;
      if (IsProtocolFlag(flag) && !TakeProtocolOption(flag, {}, parsed.protocol, error)) {
        return false;
      }
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = std::string(flag) + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (!ParseValue(flag, value, parsed, error)) return false;
  }

  if (!CheckProtocolOptions(parsed.protocol, error)) return false;
  if (parsed.protocol.tls == true && parsed.address && !parsed.port) parsed.port = kTlsPort;
  if ((allowed & kOptPassword) != 0 && !parsed.passwordFile && environmentPassword &&
      !TakePassword(*environmentPassword, parsed, error)) {
    return false;
  }
  options = parsed;
  return true;
}

PasswordFileRead TakePasswordFile(SessionOptions& options, const PasswordFileWait& wait,
                                  std::string& error) {
  if (!options.passwordFile) return PasswordFileRead::kRead;
  std::string password;
  const PasswordFileRead read = ReadPasswordFile(*options.passwordFile, wait, password, error);
  if (read != PasswordFileRead::kRead) return read;
  return TakePassword(password, options, error) ? read : PasswordFileRead::kRefused;
}

PasswordFileRead ReadLogin(std::string_view user, const std::string& passwordFile,
                           const std::optional<std::string>& environmentPassword,
                           const PasswordFileWait& wait, std::string& password,
                           std::string& error) {
  const auto usable = [&](std::string_view what, std::string_view value) {
    std::u16string wide;
    return TextOption(what, value, kMaxCredentialBytes, wide, error);
  };
  if (!usable("--user", user)) return PasswordFileRead::kRefused;
  password.clear();
  if (!passwordFile.empty()) {
    const PasswordFileRead read = ReadPasswordFile(passwordFile, wait, password, error);
    if (read != PasswordFileRead::kRead) return read;
  } else if (environmentPassword) {
    password = *environmentPassword;
  }
  return usable("the password", password) ? PasswordFileRead::kRead : PasswordFileRead::kRefused;
}

void ApplySessionOptions(const SessionOptions& options, SettingsRecord& record) {
  if (options.userName) SetFieldText(record.userName, *options.userName);
  if (options.password) SetFieldText(record.password, *options.password);
  if (options.address) SetCasterAddress(record, *options.address);
  if (options.protocol.ChangesProtocol()) {
    SetCasterProtocol(record, AppliedProtocol(record.protocol, options.protocol));
  }
  if (options.mountPoint) SetFieldText(record.mountPoint, *options.mountPoint);
  if (options.port) record.port = *options.port;
  if (options.baudIndex) record.baudIndex = *options.baudIndex;
  if (options.device) SetFieldText(record.comPortName, *options.device);
}

void ApplyRoverOptions(const SessionOptions& options, RoverSettings& settings) {
  ApplySessionOptions(options, settings);
  if (options.noAuthentication) settings.noAuthentication = *options.noAuthentication ? 1 : 0;
  if (options.upstream) settings.upstream = *options.upstream;
  if (options.ggaOverride) {
    settings.overrideEnabled.store(*options.ggaOverride ? 1 : 0);
    if (*options.ggaOverride) {
      settings.overrideLatitude.store(options.latitude);
      settings.overrideLongitude.store(options.longitude);
    }
  }
}

}  // namespace quillon::cli
