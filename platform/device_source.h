// The platform's lists of devices as port discovery reads them: records in enumeration order,
// each holding named text values. On Linux the records come from udev; tests use an in-memory
// list. A record can vanish or lose a value between listing and reading, so every read reports
// how it went.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class DeviceArea {
  kSerialDevices,   // serial ports of the machine; values kValueName and kValueKey
  kBluetoothPorts,  // Bluetooth serial bindings; value kValuePort
};

// How reading one value went. The numbers are the port list's lastReadStatus.
enum ReadStatus : std::int32_t {
  kReadOk = 0,
  kRecordMissing = 1,    // the record cannot be opened (gone since it was listed)
  kValueMissing = 2,     // the record has no such text value
  kValueUnreadable = 3,  // the value exists but reading it failed
};

// The device path of a serial device ("/dev/ttyUSB0").
inline constexpr std::u16string_view kValueName = u"Name";
// The hardware driver behind a serial device; records without one are not real ports.
inline constexpr std::u16string_view kValueKey = u"Key";
// The device path of a Bluetooth serial binding ("/dev/rfcomm0").
inline constexpr std::u16string_view kValuePort = u"Port";

class DeviceSource {
 public:
  virtual ~DeviceSource() = default;

  // The ids of the area's records in enumeration order; empty when the area cannot be read.
  virtual std::vector<std::u16string> Records(DeviceArea area) = 0;

  // Reads value `value` of record `record` into `text` (left empty unless kReadOk).
  virtual ReadStatus ReadValue(DeviceArea area, std::u16string_view record,
                               std::u16string_view value, std::u16string& text) = 0;
};

}  // namespace quillon
