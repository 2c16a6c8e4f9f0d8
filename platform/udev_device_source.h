// The device source of a Linux machine: its serial devices and Bluetooth serial bindings as
// udev lists them. Reads sysfs only; no device is opened.
#pragma once

#include <memory>

#include "platform/device_source.h"

namespace quillon {

// Serial devices: every "tty" device, record id = its sysfs path, in udev's enumeration order.
//   kValueName = its device node; kValueKey = the driver of the hardware behind it, missing for
//   virtual terminals and pseudo-terminals and for serial ports the kernel reserves without
//   hardware behind them (port type 0).
// Bluetooth ports: the "rfcomm*" tty devices; kValuePort = the device node.
std::unique_ptr<DeviceSource> MakeUdevDeviceSource();

}  // namespace quillon
