#include "common/connect_checks.h"

#include <algorithm>
#include <string_view>

#include "common/printable_text.h"
#include "common/strings.h"

namespace quillon {
namespace {

bool IsPortNumber(std::int32_t port) { return port > 0 && port <= 65535; }

// A blank ends a field of a version 1 request line, a control character the line itself.
bool SplitsRequestLine(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char16_t unit) { return unit == u' ' || IsControlCharacter(unit); });
}

std::uint32_t FirstLoginProblem(const SettingsRecord& record, ConnectingMode mode) {
  const bool base = mode == ConnectingMode::kBase;
  if (!base && record.noAuthentication != 0) return 0;  // nothing is sent
  const bool version1 = record.protocol.version == NtripVersion::k1;
  if (version1 && SplitsRequestLine(FieldText(record.mountPoint))) return kStrMountPointBlank;
  if (version1 && base && SplitsRequestLine(FieldText(record.password))) {
    return kStrSourcePasswordBlank;
  }
  // A version 1 SOURCE sends no user name.
  const bool userSent = !base || !version1;
  if (userSent && FieldText(record.userName).find(u':') != std::u16string_view::npos) {
    return kStrUserNameColon;
  }
  return 0;
}

}  // namespace

std::uint32_t FirstConnectProblem(const SettingsRecord& record, ConnectingMode mode) {
  if (FieldText(record.address).empty()) return kStrAddressEmpty;
  if (FieldText(record.comPortName).empty()) return kStrNoComPort;
  if (!IsPortNumber(record.port)) return kStrPortInvalid;
  return FirstLoginProblem(record, mode);
}

std::uint32_t FirstSourceTableProblem(const SettingsRecord& record) {
  if (FieldText(record.address).empty()) return kStrAddressEmpty;
  if (!IsPortNumber(record.port)) return kStrPortInvalid;
  return 0;
}

}  // namespace quillon
