// Choosing the Bluetooth device and port for a session: what Connect does when the chosen port
// is "BLUETOOTH", and the pieces the selection dialog and the command line share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bluetooth_lib.h"
#include "platform/message_sink.h"

namespace quillon {

// The port list's built-in items in their sorted order; the port number is position + 1.
inline constexpr std::array<std::u16string_view, 2> kBluetoothPortItems = {u"XCOM2", u"XCOM3"};
// Preselected when no port was confirmed yet in this process: "XCOM3".
inline constexpr int kDefaultBluetoothPortItem = 1;

// A device name as the device list holds it: at most this many units.
inline constexpr std::size_t kDeviceNameUnits = 255;

struct BluetoothChoice {
  std::int32_t device = -1;  // index into the library's list
  std::int32_t port = -1;    // 1 or 2; 0 when no port item was selected
};

// The port list's selection confirmed last in this process, -1 before any; it preselects the
// port list the next time the choice is offered. Set on every confirmation, never reset.
std::int32_t& RememberedBluetoothPortSelection();

// The port item to preselect: the remembered one, or kDefaultBluetoothPortItem when none.
int InitialBluetoothPortSelection();

// The names of the library's devices whose records can be read, in library order, each cut to
// kDeviceNameUnits. A record that fails is left out, so list positions can differ from
// library indices.
std::vector<std::u16string> ReadDeviceNames(BluetoothLib& bluetooth);

struct DeviceMatch {
  std::int32_t libraryIndex = -1;
  std::int32_t listPosition = -1;  // its place among ReadDeviceNames
};

// The first readable device whose listed name equals `text`: whole text, letter case counts.
std::optional<DeviceMatch> FindDeviceByName(BluetoothLib& bluetooth, std::u16string_view text);

// "Discovery failed" and "Could not find any devices.": caption "Error", no icon.
Message DiscoveryFailedMessage();
Message NoDevicesFoundMessage();

// Offers the choice and returns what was chosen; nullopt when it was cancelled.
using BluetoothChooser = std::function<std::optional<BluetoothChoice>()>;
// Puts a choice into the receiver link (device -1 and port -1: not Bluetooth).
using RecordBluetoothChoice = std::function<void(BluetoothChoice)>;

// Connect's receiver-link step, the same in both modes and on the command line: records "no
// Bluetooth"; then, only when `portName` contains "BLUETOOTH" (letter case counts), refuses
// with the radio-off message (caption "Error", exclamation) when the radio is off, and
// otherwise runs `choose` and records its choice. false when the connect must end: radio off,
// or the choice cancelled.
bool ChooseBluetoothForConnect(std::u16string_view portName, BluetoothLib& bluetooth,
                               MessageSink& sink, const BluetoothChooser& choose,
                               const RecordBluetoothChoice& record);

// The command line's chooser: does what the selection dialog's OK does with device `name`
// (the library's selected device when none is given) and `port` (1 or 2; the remembered or
// default port item when none is given). "Could not find any devices." and nullopt when no
// device has that name.
std::optional<BluetoothChoice> ChooseBluetoothByName(BluetoothLib& bluetooth, MessageSink& sink,
                                                     std::optional<std::u16string> name,
                                                     std::optional<std::int32_t> port);

}  // namespace quillon
