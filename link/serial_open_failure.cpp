#include "link/serial_open_failure.h"

#include <cerrno>
#include <vector>

#include "common/printable_text.h"
#include "common/utf8.h"
#include "link/com_port_items.h"
#include "platform/device_holders.h"

namespace quillon {
namespace {

std::string PortsFound(DeviceSource* devices) {
  if (devices == nullptr) return {};
  std::vector<std::u16string> ports;
  AddDiscoveredPorts(*devices, ports);
  if (ports.empty()) return " No serial port was found: is the receiver plugged in?";
  std::string list;
  for (const std::u16string& port : ports) {
    list += (list.empty() ? "" : ", ") + PrintableText(ToUtf8(port));
  }
  return " Ports found: " + list + ".";
}

std::string Holders(const std::string& device) {
  const std::vector<DeviceHolder> holders = FindDeviceHolders(device);
  // Another user's program (gpsd runs as its own user) is hidden from /proc here.
  if (holders.empty()) {
    return "Another program holds the port (ModemManager and gpsd often take serial ports): "
           "sudo fuser -v " +
           PrintableText(device) + " names it.";
  }
  std::string names;
  for (const DeviceHolder& holder : holders) {
    names +=
        (names.empty() ? "" : ", ") + holder.name + " (process " + std::to_string(holder.pid) + ")";
  }
  return "Another program holds the port: " + names + ".";
}

std::string Hint(const std::string& device, std::error_code error, std::uint32_t baud,
                 DeviceSource* devices) {
  if (error.category() != std::generic_category()) return {};
  switch (error.value()) {
    case EACCES:
      return "Add yourself to the dialout group: sudo usermod -aG dialout $USER, then log in "
             "again.";
    case EBUSY:
      return Holders(device);
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "The device is not there." + PortsFound(devices);
    case ENOTTY:
      return "It is no serial device." + PortsFound(devices);
    case EINVAL:
      return "The device refused the line settings: " + std::to_string(baud) +
             " baud, 8 data bits, no parity, 1 stop bit, no flow control, raw bytes.";
    default:
      return {};
  }
}

}  // namespace

std::u16string SerialOpenFailure(const std::string& device, std::error_code error,
                                 std::uint32_t baud, DeviceSource* devices) {
  std::string text = device.empty() ? "" : PrintableText(device) + ": ";
  text += error.message() + ".";
  if (const std::string hint = Hint(device, error, baud, devices); !hint.empty()) {
    text += "\r\n" + hint;
  }
  return FromUtf8(text);
}

}  // namespace quillon
