#include "common/connect_checks.h"

#include "common/strings.h"

namespace quillon {

std::uint32_t FirstConnectProblem(const SettingsRecord& record) {
  if (FieldText(record.address).empty()) return kStrAddressEmpty;
  if (FieldText(record.comPortName).empty()) return kStrNoComPort;
  if (record.port == 0) return kStrPortInvalid;
  return 0;
}

}  // namespace quillon
