// The items of a mode dialog's "COM port:" list, computed once while the dialog initialises;
// the dialog only puts them into its combo box.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/bluetooth_lib.h"
#include "platform/device_source.h"

namespace quillon {

// The pseudo-port that makes Connect run the Bluetooth device choice.
inline constexpr std::u16string_view kBluetoothPortName = u"BLUETOOTH";

struct ComPortItems {
  std::vector<std::u16string> items;
  int selected = -1;  // item 0, or -1 when the list is empty
};

// "BLUETOOTH" when the library says Bluetooth is usable; then the serial ports in sorted order,
// each cut at its first ":"; then the Bluetooth bindings as read, each unless an item already
// equals it ignoring case. Item 0 is selected.
ComPortItems FillComPortCombo(DeviceSource& source, BluetoothLib& bluetooth);

// Whether `a` and `b` are equal ignoring letter case, as a list box's exact search compares.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace quillon
