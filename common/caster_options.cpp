#include "common/caster_options.h"

#include "common/ca_file.h"
#include "common/host_history.h"
#include "common/settings_form.h"
#include "common/utf8.h"

namespace quillon {

CasterOptions CasterOptionsOf(const SettingsRecord& record) {
  return {record.protocol, std::u16string(FieldText(record.userName)), record.upstream.ggaSeconds};
}

std::u16string CasterOptionsProblem(CasterOptions& options, ConnectingMode mode) {
  if (options.protocol.tls && options.protocol.version != NtripVersion::k2) {
    return u"TLS is NTRIP 2's: choose NTRIP version 2 for it.";
  }
  if (!options.protocol.caFile.empty()) {
    const std::string problem = CaFileProblem(options.protocol.caFile, options.protocol.caFile);
    if (!problem.empty()) return u"CA file: " + FromUtf8(problem) + u".";
  }
  if (mode == ConnectingMode::kBase && Utf8Size(options.userName) > kMaxCredentialBytes) {
    return TooLongText(u"user name", kMaxCredentialBytes);
  }
  const std::int32_t seconds = options.ggaSeconds;
  if (mode == ConnectingMode::kRover && seconds != 0 &&
      (seconds < kMinGgaSeconds || seconds > kMaxGgaSeconds)) {
    return u"GGA every: " + FromUtf8(std::to_string(kMinGgaSeconds)) + u" to " +
           FromUtf8(std::to_string(kMaxGgaSeconds)) + u" seconds.";
  }
  return {};
}

void ApplyCasterOptions(const CasterOptions& options, ConnectingMode mode, SettingsRecord& record) {
  SetCasterProtocol(record, options.protocol);
  if (mode == ConnectingMode::kBase) {
    SetFieldText(record.userName, options.userName);
  } else {
    record.upstream.ggaSeconds = options.ggaSeconds;
  }
}

std::u16string ProtocolText(const CasterProtocol& protocol) {
  if (protocol.version != NtripVersion::k2) return u"NTRIP 1";
  if (!protocol.tls) return u"NTRIP 2";
  if (protocol.caFile.empty()) return u"NTRIP 2 over TLS";
  return u"NTRIP 2 over TLS, verified with " + FromUtf8(protocol.caFile);
}

}  // namespace quillon
