// The checks a mode runs on its settings when the user presses Connect or Source, before any
// connection.
#pragma once

#include <cstdint>

#include "common/settings_record.h"

namespace quillon {

// The string id of the first problem, in the order the user is told: empty address
// (kStrAddressEmpty), no COM port name (kStrNoComPort), a port that no caster can have
// (kStrPortInvalid: 0, negative or above 65535, which the connect would cut to another port);
// 0 when the settings can be used.
std::uint32_t FirstConnectProblem(const SettingsRecord& record);

// The same for fetching the source table, which needs no COM port.
std::uint32_t FirstSourceTableProblem(const SettingsRecord& record);

}  // namespace quillon
