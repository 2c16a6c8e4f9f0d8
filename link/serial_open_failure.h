// Why a serial device did not open, as the receiver link's message says it beside "Unable to
// open COM Port.": the system's reason, then what to do about it for the common causes.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "platform/device_source.h"

namespace quillon {

// The lines for device `device` that SerialPort::Open refused with `error`, asked for `baud`:
// "<device>: <the system's text>." and, for the common causes, one line of what to do:
//   EACCES: joining the dialout group;
//   EBUSY: the programs that hold the device, as far as /proc tells this user;
//   ENOENT, ENODEV, ENXIO (not there) and ENOTTY (no serial device): the ports found in
//   `devices` (not listed when it is null);
//   EINVAL: the line settings the device refused.
// Lines are separated by CR LF; control characters of the path are replaced by '?'.
std::u16string SerialOpenFailure(const std::string& device, std::error_code error,
                                 std::uint32_t baud, DeviceSource* devices);

}  // namespace quillon
