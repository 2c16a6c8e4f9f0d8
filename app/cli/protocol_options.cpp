#include "app/cli/protocol_options.h"

#include "app/cli/option_specs.h"
#include "common/ca_file.h"

namespace quillon::cli {

bool TakeCaFile(const std::string& value, ProtocolOptions& options, std::string& error) {
  std::string path;
  if (const std::string problem = CaFileProblem(value, path); !problem.empty()) {
    error = "--ca-file: " + problem;
    return false;
  }
  options.caFile = path;
  return true;
}

bool IsProtocolFlag(std::string_view flag) { return FindOption(flag, kOptProtocol) != nullptr; }

bool ProtocolFlagTakesValue(std::string_view flag) {
  const OptionSpec* spec = FindOption(flag, kOptProtocol);
  return spec != nullptr && spec->value != nullptr;
}

bool TakeProtocolOption(std::string_view flag, const std::string& value, ProtocolOptions& options,
                        std::string& error) {
  const OptionSpec* spec = FindOption(flag, kOptProtocol);
  if (spec == nullptr) return true;
  SessionOptions taken;
  taken.protocol = options;
  if (spec->value == nullptr) {
    spec->set(taken);
  } else if (!spec->take(*spec, value, {kOptProtocol}, taken, error)) {
    return false;
  }
  options = taken.protocol;
  return true;
}

bool CheckProtocolOptions(const ProtocolOptions& options, std::string& error) {
  if (options.tls == true && options.version == NtripVersion::k1) {
    error = "--tls speaks NTRIP 2: it cannot go with --ntrip 1";
    return false;
  }
  if (options.insecure && options.caFile && !options.caFile->empty()) {
    error = "--insecure skips the verification that --ca-file is for: give one of them";
    return false;
  }
  return true;
}

CasterProtocol AppliedProtocol(CasterProtocol protocol, const ProtocolOptions& options) {
  if (options.version) {
    protocol.version = *options.version;
    if (protocol.version == NtripVersion::k1) protocol.tls = false;
  }
  if (options.tls) {
    protocol.tls = *options.tls;
    if (protocol.tls) protocol.version = NtripVersion::k2;
  }
  if (options.caFile) protocol.caFile = *options.caFile;
  return protocol;
}

}  // namespace quillon::cli
