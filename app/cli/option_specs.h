// The flags of the session commands, each declared once: its name, what reads it, and what the
// usage says of it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "app/cli/session_options.h"

namespace quillon::cli {

struct OptionSpec;
// Takes an option's value into `options`; false with `error` set to one line for the user.
using TakeOption = bool (*)(const OptionSpec& spec, const std::string& value,
                            const CommandOptions& command, SessionOptions& options,
                            std::string& error);
// Takes a switch into `options`.
using SetSwitch = void (*)(SessionOptions& options);

// One flag, declared once: how it is read and what the usage says of it.
struct OptionSpec {
  std::string_view name;
  unsigned group = 0;           // its SessionOption
  const char* value = nullptr;  // what it takes, as the usage names it; nullptr: a switch
  TakeOption take = nullptr;    // a value's
  SetSwitch set = nullptr;      // a switch's
  std::size_t limit = 0;        // the longest value (bytes, characters), where one applies
  // Its lines in the usage of `quillon rover` and `quillon base`, "{max}" standing for `limit`;
  // empty: named beside the flag before it, whose lines tell of both; nullptr: told only in
  // the usage of the commands that take it.
  const char* help = nullptr;
  const char* baseHelp = nullptr;  // the Base's lines, where they differ
};

// Every flag of the session commands, in the order the usage shows them.
std::span<const OptionSpec> OptionSpecs();

// The flag `name` when it belongs to one of the `groups`, else nullptr.
const OptionSpec* FindOption(std::string_view name, unsigned groups);

}  // namespace quillon::cli
