#include "link/port_list.h"

#include <utility>

namespace quillon {
namespace {

// The handheld only took names beginning with "COM"; on Linux ports are device paths, so of
// that filter only the length test stays: a name of three units or fewer names no port.
bool IsPortName(std::u16string_view name) { return name.size() > 3; }

}  // namespace

std::u16string CPortList::ReadRegString(DeviceArea area, std::u16string_view record,
                                        std::u16string_view value) {
  std::u16string text;
  lastReadStatus_ = source_.ReadValue(area, record, value, text);
  if (lastReadStatus_ != kReadOk) return {};
  // A value is a zero-terminated text: whatever follows a NUL is not part of it.
  if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  return text;
}

void CPortList::EnumeratePorts() {
  entries_.clear();
  lastReadStatus_ = kReadOk;
  entries_.reserve(kPortListCapacity);
  for (const auto& record : source_.Records(DeviceArea::kSerialDevices)) {
    std::u16string name = ReadRegString(DeviceArea::kSerialDevices, record, kValueName);
    if (lastReadStatus_ != kReadOk || !IsPortName(name)) continue;
    std::u16string key = ReadRegString(DeviceArea::kSerialDevices, record, kValueKey);
    if (lastReadStatus_ != kReadOk) continue;
    entries_.push_back(Entry{std::move(name), std::move(key)});
    if (entries_.size() == kPortListCapacity) break;
  }
}

std::uint32_t CPortList::SortKey(std::u16string_view name) {
  std::uint32_t sum = 0;
  for (const char16_t unit : name) sum += unit;
  return sum;
}

void CPortList::SortPorts() {
  // Not a textbook sort: this exact procedure decides where equal keys end up, and the port
  // order users are used to depends on it.
  const std::size_t count = entries_.size();
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = 0; j < count; ++j) {
      if (SortKey(entries_[i].name) < SortKey(entries_[j].name)) {
        std::swap(entries_[i], entries_[j]);
      }
    }
  }
}

std::u16string CPortList::GetPortName(std::uint32_t index) const {
  return index < entries_.size() ? entries_[index].name : std::u16string();
}

bool CPortList::GetBluetoothPort(std::uint32_t index, std::u16string& name) {
  name.clear();
  const auto records = source_.Records(DeviceArea::kBluetoothPorts);
  if (index >= records.size()) return false;
  std::u16string port = ReadRegString(DeviceArea::kBluetoothPorts, records[index], kValuePort);
  // An unreadable binding, or one whose name would not fit the buffer, yields no name; the
  // caller goes on with the next index.
  if (lastReadStatus_ == kReadOk && port.size() < kBluetoothPortNameSize) name = std::move(port);
  return true;
}

}  // namespace quillon
