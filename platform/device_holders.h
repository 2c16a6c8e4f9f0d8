// Which processes hold a device open, as /proc tells this user: the program behind a serial
// port that another one keeps busy (ModemManager, gpsd, a terminal program).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace quillon {

struct DeviceHolder {
  pid_t pid = 0;
  std::string name;  // its command name (/proc/PID/comm), control characters replaced by '?'
};

// The processes with a descriptor on the device at path `device` (a symbolic link such as
// /dev/serial/by-id/... counts as the device it names), found by the links in /proc/*/fd.
// Processes this user may not look into are skipped. Bounded: at most `limit` holders, and a
// fixed budget of processes and descriptors looked at, so a machine with many of them costs
// little. Empty when none was found.
std::vector<DeviceHolder> FindDeviceHolders(const std::string& device, std::size_t limit = 3);

}  // namespace quillon
