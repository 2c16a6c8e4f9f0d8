#include "app/cli/also_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "app/cli/option_specs.h"
#include "app/cli/private_file.h"
#include "app/cli/session_options.h"
#include "app/cli/sourcetable_command.h"
#include "common/connect_checks.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "ntrip/header_fields.h"

namespace quillon::cli {
namespace {

constexpr std::array<std::string_view, 7> kKeys = {"caster", "mount", "user",   "password-file",
                                                   "ntrip",  "tls",   "ca-file"};
// The option groups the keys belong to.
constexpr CommandOptions kKeyOptions{kOptCaster | kOptMount | kOptUser | kOptPassword |
                                     kOptProtocol};

// C0 but the tab, and DEL; a C1 character can only be in a value, which its option refuses.
bool HasControlByte(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
  });
}

// The options' messages name the flag ("--mount takes ..."); in the file it is a key.
std::string AsKeyMessage(const std::string& message) {
  return message.starts_with("--") ? message.substr(2) : message;
}

// The whole file, if it is a regular file no other user can write and within its bound.
bool ReadPrivateText(const std::string& path, std::string& text, std::string& problem) {
  switch (ReadPrivateFile(path, S_IWGRP | S_IWOTH, kMaxAlsoFileBytes, text)) {
    case PrivateFileRead::kRead:
      return true;
    case PrivateFileRead::kNoFile:
      problem = "is no readable file";
      break;
    case PrivateFileRead::kUnreadable:
      problem = "cannot be read";
      break;
    case PrivateFileRead::kTooLarge:
      problem = "is larger than " + std::to_string(kMaxAlsoFileBytes) + " bytes";
      break;
    case PrivateFileRead::kOpen:
      problem = "can be written by other users (it says where the receiver's data goes)";
      break;
  }
  return false;
}

// For each key, the line that gave it; 0: not given.
using KeyLines = std::array<std::size_t, kKeys.size()>;

std::size_t& LineOf(KeyLines& lines, std::string_view key) {
  return lines[static_cast<std::size_t>(std::find(kKeys.begin(), kKeys.end(), key) -
                                        kKeys.begin())];
}

// Takes line `number`, a "key = value", into `options` and `lines`; false with `problem` for
// the user.
bool TakeLine(std::string_view line, std::size_t number, SessionOptions& options, KeyLines& lines,
              std::string& problem) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) {
    problem = "expected KEY = VALUE";
    return false;
  }
  const std::string key(TrimBlanks(line.substr(0, equals)));
  const std::string value(TrimBlanks(line.substr(equals + 1)));
  if (std::find(kKeys.begin(), kKeys.end(), key) == kKeys.end()) {
    problem = "unknown key \"" + PrintableText(key) + "\"";
    return false;
  }
  if (std::exchange(LineOf(lines, key), number) != 0) {
    problem = "\"" + key + "\" is given twice";
    return false;
  }
  const OptionSpec* spec = FindOption("--" + key, kKeyOptions.allowed);
  if (spec->value != nullptr) {
    if (spec->take(*spec, value, kKeyOptions, options, problem)) return true;
    problem = AsKeyMessage(problem);
    return false;
  }
  // A switch and its opposite, as --tls and --no-tls.
  if (value != "yes" && value != "no") {
    problem = key + ": yes or no";
    return false;
  }
  const std::string flag = value == "yes" ? "--" + key : "--no-" + key;
  FindOption(flag, kKeyOptions.allowed)->set(options);
  return true;
}

}  // namespace

PasswordFileRead ReadAlsoFile(const std::string& path, const PasswordFileWait& wait,
                              ExtraCaster& caster, std::string& error) {
  const std::string shown = PrintableText(path);
  const auto refuse = [&](std::size_t line, const std::string& problem) {
    error = shown + (line > 0 ? ":" + std::to_string(line) : "") + ": " + problem;
    return PasswordFileRead::kRefused;
  };
  std::string text;
  std::string problem;
  if (!ReadPrivateText(path, text, problem)) return refuse(0, problem);

  SessionOptions options;
  KeyLines lines{};
  for (std::size_t start = 0, number = 1; start < text.size(); ++number) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = std::string_view(text).substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() > kMaxAlsoLineBytes) {
      return refuse(number, "longer than " + std::to_string(kMaxAlsoLineBytes) + " bytes");
    }
    if (HasControlByte(line)) return refuse(number, "a control character");
    line = TrimBlanks(line);
    if (line.empty() || line.starts_with('#')) continue;
    if (!TakeLine(line, number, options, lines, problem)) return refuse(number, problem);
  }
  for (const std::string_view key : {"caster", "mount"}) {
    if (LineOf(lines, key) == 0) return refuse(0, "\"" + std::string(key) + "\" is missing");
  }
  if (!CompleteSessionOptions(options, problem)) return refuse(0, AsKeyMessage(problem));
  if (!options.port) options.port = kDefaultCasterPort;
  const PasswordFileRead read = TakePasswordFile(options, wait, problem);
  if (read == PasswordFileRead::kRefused) {
    return refuse(LineOf(lines, "password-file"), AsKeyMessage(problem));
  }
  if (read != PasswordFileRead::kRead) return read;

  BaseSettings settings;
  ApplyBaseOptions(options, settings);
  // The receiver is the primary caster's, and checked with it.
  BaseSettings checked = settings;
  SetFieldText(checked.comPortName, u"-");
  if (const std::uint32_t check = FirstConnectProblem(checked, ConnectingMode::kBase)) {
    return refuse(0, ToUtf8(LoadString(check)));
  }
  caster.name = PrintableText(std::filesystem::path(path).filename().string());
  caster.settings = settings;
  caster.protocol = options.protocol;
  return PasswordFileRead::kRead;
}

}  // namespace quillon::cli
