// The options that choose how a caster is spoken to, alike for `quillon rover`, `quillon base`
// and `quillon sourcetable`: --ntrip 1|2, --tls, --no-tls, --ca-file FILE, --no-ca-file and
// --insecure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/caster_protocol.h"

namespace quillon::cli {

// The port of a TLS caster given without one.
inline constexpr std::int32_t kTlsPort = 443;

struct ProtocolOptions {
  std::optional<NtripVersion> version;
  std::optional<bool> tls;
  std::optional<std::string> caFile;  // an absolute path; empty for --no-ca-file
  // Skip the certificate's verification for this run. Never saved: a choice made once must not
  // silently weaken every later run.
  bool insecure = false;

  // Whether an option that is saved with the caster was given.
  bool ChangesProtocol() const { return version || tls || caFile; }
};

// Whether `flag` is one of these options, and whether it takes a value (OptionSpecs has them).
bool IsProtocolFlag(std::string_view flag);
bool ProtocolFlagTakesValue(std::string_view flag);

// Takes `flag` (with its `value` when it takes one) into `options`; another flag is ignored. On
// a problem returns false with `error` set to one line for the user.
bool TakeProtocolOption(std::string_view flag, const std::string& value, ProtocolOptions& options,
                        std::string& error);

// The value of --ca-file as CaFileProblem takes it, kept as its absolute path; false with
// `error` otherwise.
bool TakeCaFile(const std::string& value, ProtocolOptions& options, std::string& error);

// Once every option is taken: false with `error` when they contradict each other (--ntrip 1
// with --tls, which is NTRIP 2's; --insecure with --ca-file).
bool CheckProtocolOptions(const ProtocolOptions& options, std::string& error);

// `protocol` with the options applied: --ntrip sets the version (1 also ends TLS), --tls sets
// TLS and version 2, --no-tls ends TLS and keeps the version, --ca-file sets or clears the file.
CasterProtocol AppliedProtocol(CasterProtocol protocol, const ProtocolOptions& options);

}  // namespace quillon::cli
