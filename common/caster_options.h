// What the window's "Caster options" edit: how the record's caster is spoken to, the Base's user
// name (NTRIP 2 logs a source in with one) and the Rover's upstream choice. All of it lives in the
// settings file's extension, never in the 2824-byte image.
#pragma once

#include <string>

#include "common/connect_checks.h"
#include "common/settings_record.h"

namespace quillon {

struct CasterOptions {
  CasterProtocol protocol;
  std::u16string userName;      // the Base's; the Rover's is in its own dialog
  std::int32_t ggaSeconds = 0;  // the Rover's UpstreamChoice
};

// The record's values.
CasterOptions CasterOptionsOf(const SettingsRecord& record);

// The first problem of `options` for `mode`, as one line for the user; empty when there is
// none: TLS without NTRIP 2, a CA file that CaFileProblem refuses, a Base user name longer than
// kMaxCredentialBytes, a Rover GGA interval outside 0 and kMinGgaSeconds..kMaxGgaSeconds. A CA
// file that passes is made absolute in `options`.
std::u16string CasterOptionsProblem(CasterOptions& options, ConnectingMode mode);

// Puts `options` into the record: the protocol for its caster and that caster's history entry
// (SetCasterProtocol), the Base's user name or the Rover's upstream choice.
void ApplyCasterOptions(const CasterOptions& options, ConnectingMode mode, SettingsRecord& record);

// The protocol as the user reads it: "NTRIP 1", "NTRIP 2", "NTRIP 2 over TLS" or
// "NTRIP 2 over TLS, verified with /etc/ca.pem".
std::u16string ProtocolText(const CasterProtocol& protocol);

}  // namespace quillon
