#include "link/bluetooth_choice.h"

#include "common/strings.h"
#include "common/wide.h"
#include "link/com_port_items.h"

namespace quillon {

std::int32_t& RememberedBluetoothPortSelection() {
  static std::int32_t selection = -1;
  return selection;
}

int InitialBluetoothPortSelection() {
  const std::int32_t remembered = RememberedBluetoothPortSelection();
  return remembered < 0 ? kDefaultBluetoothPortItem : remembered;
}

std::vector<std::u16string> ReadDeviceNames(BluetoothLib& bluetooth) {
  std::vector<std::u16string> names;
  const std::int32_t count = bluetooth.DeviceCount();
  for (std::int32_t i = 0; i < count; ++i) {
    std::u16string name;
    if (bluetooth.ReadDevice(i, name)) names.emplace_back(CutToUnits(name, kDeviceNameUnits));
  }
  return names;
}

std::optional<DeviceMatch> FindDeviceByName(BluetoothLib& bluetooth, std::u16string_view text) {
  const std::int32_t count = bluetooth.DeviceCount();
  std::int32_t position = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    std::u16string name;
    if (!bluetooth.ReadDevice(i, name)) continue;
    if (CutToUnits(name, kDeviceNameUnits) == text) return DeviceMatch{i, position};
    ++position;
  }
  return std::nullopt;
}

Message DiscoveryFailedMessage() {
  return Message{u"Discovery failed", LoadString(kStrError), MessageIcon::kNone,
                 MessageButtons::kOk};
}

Message NoDevicesFoundMessage() {
  return Message{u"Could not find any devices.", LoadString(kStrError), MessageIcon::kNone,
                 MessageButtons::kOk};
}

bool ChooseBluetoothForConnect(std::u16string_view portName, BluetoothLib& bluetooth,
                               MessageSink& sink, const BluetoothChooser& choose,
                               const RecordBluetoothChoice& record) {
  record(BluetoothChoice{});
  if (portName.find(kBluetoothPortName) == std::u16string_view::npos) return true;
  if (!bluetooth.IsRadioOn()) {
    sink.Show(Message{LoadString(kStrBluetoothRadioOff), LoadString(kStrError),
                      MessageIcon::kExclamation, MessageButtons::kOk});
    return false;
  }
  const auto choice = choose();
  if (!choice) return false;
  record(*choice);
  return true;
}

std::optional<BluetoothChoice> ChooseBluetoothByName(BluetoothLib& bluetooth, MessageSink& sink,
                                                     std::optional<std::u16string> name,
                                                     std::optional<std::int32_t> port) {
  const std::int32_t portItem = port ? *port - 1 : InitialBluetoothPortSelection();
  RememberedBluetoothPortSelection() = portItem;
  if (!name) {
    // Without a name, the device the library has selected, as the dialog preselects it.
    const auto names = ReadDeviceNames(bluetooth);
    const std::int32_t selected = bluetooth.SelectedDevice();
    if (selected >= 0 && static_cast<std::size_t>(selected) < names.size()) {
      name = names[static_cast<std::size_t>(selected)];
    }
  }
  const auto match = name ? FindDeviceByName(bluetooth, *name) : std::nullopt;
  if (!match) {
    sink.Show(NoDevicesFoundMessage());
    return std::nullopt;
  }
  bluetooth.SelectDevice(match->listPosition);
  return BluetoothChoice{match->libraryIndex, portItem + 1};
}

}  // namespace quillon
