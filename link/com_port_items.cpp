#include "link/com_port_items.h"

#include <algorithm>
#include <cwctype>

#include "link/port_list.h"

namespace quillon {
namespace {

char16_t LowerUnit(char16_t unit) {
  // Surrogate halves are not characters; towlower would leave them alone anyway.
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  return static_cast<char16_t>(std::towlower(static_cast<std::wint_t>(unit)));
}

}  // namespace

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return LowerUnit(x) == LowerUnit(y); });
}

std::u16string_view PortItemText(std::u16string_view name) {
  return name.substr(0, std::min(name.find(u':'), name.size()));
}

void AddDiscoveredPorts(DeviceSource& source, std::vector<std::u16string>& items) {
  CPortList ports(source);
  ports.EnumeratePorts();
  ports.SortPorts();
  for (std::uint32_t i = 0; i < ports.Count(); ++i) {
    items.emplace_back(PortItemText(ports.GetPortName(i)));
  }

  std::u16string binding;
  for (std::uint32_t index = 0; ports.GetBluetoothPort(index, binding); ++index) {
    if (binding.empty()) continue;
    const bool listed = std::any_of(items.begin(), items.end(), [&](const std::u16string& item) {
      return EqualIgnoringCase(item, binding);
    });
    if (!listed) items.push_back(binding);
  }
}

ComPortItems FillComPortCombo(DeviceSource& source, BluetoothLib& bluetooth) {
  ComPortItems result;
  if (bluetooth.IsUsable()) result.items.emplace_back(kBluetoothPortName);
  AddDiscoveredPorts(source, result.items);
  result.selected = result.items.empty() ? -1 : 0;
  return result;
}

int StoredPortItem(const std::vector<std::u16string>& items, std::u16string_view storedName,
                   std::int32_t storedIndex) {
  const std::u16string_view name = PortItemText(storedName);
  if (name.empty()) {
    return storedIndex >= 0 && static_cast<std::size_t>(storedIndex) < items.size() ? storedIndex
                                                                                    : -1;
  }
  const auto found = std::find(items.begin(), items.end(), name);
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

}  // namespace quillon
