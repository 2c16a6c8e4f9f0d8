// The checks a mode runs on its settings when the user presses Connect, before any session.
#pragma once

#include <cstdint>

#include "common/settings_record.h"

namespace quillon {

// The string id of the first problem, in the order the user is told: empty address
// (kStrAddressEmpty), no COM port name (kStrNoComPort), port 0 (kStrPortInvalid); 0 when the
// settings can be used.
std::uint32_t FirstConnectProblem(const SettingsRecord& record);

}  // namespace quillon
