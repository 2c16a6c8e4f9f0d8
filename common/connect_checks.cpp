#include "common/connect_checks.h"

#include "common/strings.h"

namespace quillon {
namespace {

bool IsPortNumber(std::int32_t port) { return port > 0 && port <= 65535; }

}  // namespace

std::uint32_t FirstConnectProblem(const SettingsRecord& record) {
  if (FieldText(record.address).empty()) return kStrAddressEmpty;
  if (FieldText(record.comPortName).empty()) return kStrNoComPort;
  if (!IsPortNumber(record.port)) return kStrPortInvalid;
  return 0;
}

std::uint32_t FirstSourceTableProblem(const SettingsRecord& record) {
  if (FieldText(record.address).empty()) return kStrAddressEmpty;
  if (!IsPortNumber(record.port)) return kStrPortInvalid;
  return 0;
}

}  // namespace quillon
