// The list of serial ports that discovery finds, and the Bluetooth serial bindings read one at
// a time. Discovery reads the device source only; it never opens a port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_source.h"

namespace quillon {

// At most this many serial ports are taken, in enumeration order, before sorting.
inline constexpr std::size_t kPortListCapacity = 16;

// Units of a Bluetooth port name's buffer, terminator included.
inline constexpr std::size_t kBluetoothPortNameSize = 256;

class CPortList {
 public:
  explicit CPortList(DeviceSource& source) : source_(source) {}

  // Fills the list from the source's serial devices: each record with a readable name longer
  // than three units and a readable driver, in enumeration order, until the list holds
  // kPortListCapacity entries. Previous entries are dropped first.
  void EnumeratePorts();

  // Orders the entries by the sum of their name's UTF-16 units (so "/dev/ttyS10" sorts by its
  // sum, not numerically), with the exchange procedure that also fixes the order of equal keys.
  void SortPorts();

  // The entry's name, or an empty string when `index` is not below Count().
  std::u16string GetPortName(std::uint32_t index) const;

  // Reads Bluetooth binding number `index` (the source's list is read anew for every index).
  // false when there is no such binding. true otherwise; `name` then holds its device path, or
  // is empty when the binding's path could not be read or is longer than 255 units.
  bool GetBluetoothPort(std::uint32_t index, std::u16string& name);

  // Value `value` of `record` in `area`, or an empty string; sets LastReadStatus().
  std::u16string ReadRegString(DeviceArea area, std::u16string_view record,
                               std::u16string_view value);

  std::uint32_t Count() const { return static_cast<std::uint32_t>(entries_.size()); }
  std::int32_t LastReadStatus() const { return lastReadStatus_; }

  // The sort key of a name: the sum of its UTF-16 units.
  static std::uint32_t SortKey(std::u16string_view name);

 private:
  struct Entry {
    std::u16string name;
    std::u16string key;  // required to take an entry, not used afterwards
  };

  DeviceSource& source_;
  std::vector<Entry> entries_;
  std::int32_t lastReadStatus_ = kReadOk;
};

}  // namespace quillon
