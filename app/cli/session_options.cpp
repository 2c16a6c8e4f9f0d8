#include "app/cli/session_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "app/cli/option_specs.h"
#include "base/base_settings.h"
#include "common/host_history.h"
#include "common/printable_text.h"
#include "common/utf8.h"
#include "common/wide.h"
#include "rover/rover_settings.h"

namespace quillon::cli {
namespace {

// What the dialog's port box holds at most.
constexpr std::size_t kMaxPortDigits = 6;

bool ParseDouble(std::string_view text, double& value) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return problem == std::errc() && end == text.data() + text.size() && !text.empty() &&
         std::isfinite(value);
}

// The password as given, checked as the other texts are.
bool TakePassword(const std::string& password, SessionOptions& options, std::string& error) {
  std::u16string wide;
  if (!TextOption("the password", password, kMaxCredentialBytes, wide, error)) return false;
  options.password = wide;
  return true;
}

}  // namespace

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

bool ParseSessionOptions(const Arguments& args, const CommandOptions& command,
                         const std::optional<std::string>& environmentPassword,
                         SessionOptions& options, std::string& error) {
  SessionOptions parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--password" || word.rfind("--password=", 0) == 0) {
      error =
          "a password is never taken from the command line (other users can see it): use "
          "--password-file FILE or QUILLON_PASSWORD";
      return false;
    }
    std::string_view flag = word;
    std::optional<std::string> value;
    if (const auto equals = word.find('=');
        word.rfind("--", 0) == 0 && equals != std::string::npos) {
      flag = std::string_view(word).substr(0, equals);
      value = word.substr(equals + 1);
    }
    const OptionSpec* spec = FindOption(flag, command.allowed);
    if (spec == nullptr) {
      // The word is the user's: nothing in it may drive the terminal.
      error = "unknown option " + PrintableText(flag);
      return false;
    }
    if (spec->value == nullptr) {
      if (value) {
        error = std::string(flag) + " takes no value";
        return false;
      }
      spec->set(parsed);
      continue;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        error = std::string(flag) + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (!spec->take(*spec, *value, command, parsed, error)) return false;
  }

  if (parsed.logKeepDays > 0 && !parsed.logPattern) {
    error = "--log-keep removes the old files of --log: give both";
    return false;
  }
  if ((!parsed.listenMount.empty() || parsed.listenUsersFile) && !parsed.listen) {
    error = "--listen-mount and --listen-users are of the caster: give --listen too";
    return false;
  }
  if (!CompleteSessionOptions(parsed, error)) return false;
  if ((command.allowed & kOptPassword) != 0 && !parsed.passwordFile && environmentPassword &&
      !TakePassword(*environmentPassword, parsed, error)) {
    return false;
  }
  options = parsed;
  return true;
}

bool CompleteSessionOptions(SessionOptions& options, std::string& error) {
  if (!CheckProtocolOptions(options.protocol, error)) return false;
  if (options.protocol.tls == true && options.address && !options.port) options.port = kTlsPort;
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

void ApplyBaseOptions(const SessionOptions& options, BaseSettings& settings) {
  ApplySessionOptions(options, settings);
  settings.noAuthentication = 0;
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
