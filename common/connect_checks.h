// The checks a mode runs on its settings when the user presses Connect or Source, before any
// connection.
#pragma once

#include <cstdint>

#include "common/settings_record.h"

namespace quillon {

// Whose login the settings are for: the Rover's (GET of the mount point, with a Basic login
// unless no authentication is used) or the Base's (SOURCE with the password in its request line,
// or with NTRIP version 2 a POST with a Basic login).
enum class ConnectingMode { kRover, kBase };

// The string id of the first problem, in the order the user is told: empty address
// (kStrAddressEmpty), no COM port name (kStrNoComPort), a port that no caster can have
// (kStrPortInvalid: 0, negative or above 65535, which the connect would cut to another port);
// then what would change the login's meaning, where the login sends it: with NTRIP version 1 a
// blank or a control character in the mount point (kStrMountPointBlank) or in the Base's
// password (kStrSourcePasswordBlank), which the request line carries as they are; a colon in the
// user name of a Basic login (kStrUserNameColon). 0 when the settings can be used.
std::uint32_t FirstConnectProblem(const SettingsRecord& record, ConnectingMode mode);

// The same for fetching the source table, which needs no COM port and sends neither the mount
// point nor a login.
std::uint32_t FirstSourceTableProblem(const SettingsRecord& record);

}  // namespace quillon
