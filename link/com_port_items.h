// The items of a mode dialog's "COM port:" list, computed once while the dialog initialises;
// the dialog only puts them into its combo box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bluetooth_lib.h"
#include "platform/device_source.h"

namespace quillon {

// The pseudo-port that makes Connect run the Bluetooth device choice.
inline constexpr std::u16string_view kBluetoothPortName = u"BLUETOOTH";

struct ComPortItems {
  std::vector<std::u16string> items;
  int selected = -1;  // item 0, or -1 when the list is empty
};

// Appends to `items` the serial ports in sorted order, each cut at its first ":"; then the
// Bluetooth bindings as read, each unless an item already equals it ignoring case.
void AddDiscoveredPorts(DeviceSource& source, std::vector<std::u16string>& items);

// "BLUETOOTH" when the library says Bluetooth is usable, then AddDiscoveredPorts. Item 0 is
// selected.
ComPortItems FillComPortCombo(DeviceSource& source, BluetoothLib& bluetooth);

// The item that stored settings choose: the one whose text is `storedName` cut at its first
// ":" (letter case counts, as in device paths), wherever the list has it now; by position
// `storedIndex` only when no name is stored. -1 when the list lacks the stored name (a device
// typed by hand or given on the command line): the name is then shown and used as typed.
int StoredPortItem(const std::vector<std::u16string>& items, std::u16string_view storedName,
                   std::int32_t storedIndex);

// A stored port name as the list shows it: up to its first ":".
std::u16string_view PortItemText(std::u16string_view name);

// Whether `a` and `b` are equal ignoring letter case, as a list box's exact search compares.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace quillon
