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

ComPortItems FillComPortCombo(DeviceSource& source, BluetoothLib& bluetooth) {
  ComPortItems result;
  CPortList ports(source);
  ports.EnumeratePorts();
  ports.SortPorts();

  if (bluetooth.IsUsable()) result.items.emplace_back(kBluetoothPortName);

  for (std::uint32_t i = 0; i < ports.Count(); ++i) {
    std::u16string name = ports.GetPortName(i);
    if (const auto colon = name.find(u':'); colon != std::u16string::npos) name.resize(colon);
    result.items.push_back(std::move(name));
  }

  std::u16string binding;
  for (std::uint32_t index = 0; ports.GetBluetoothPort(index, binding); ++index) {
    if (binding.empty()) continue;
    const bool listed =
        std::any_of(result.items.begin(), result.items.end(),
                    [&](const std::u16string& item) { return EqualIgnoringCase(item, binding); });
    if (!listed) result.items.push_back(binding);
  }

  result.selected = result.items.empty() ? -1 : 0;
  return result;
}

}  // namespace quillon
