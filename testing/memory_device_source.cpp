#include "testing/memory_device_source.h"

#include <string>
#include <utility>

namespace quillon::testing {

void MemoryDeviceSource::AddRecord(DeviceArea area, std::u16string id, std::vector<Value> values,
                                   bool vanished) {
  records_.push_back(Record{area, std::move(id), std::move(values), vanished});
}

void MemoryDeviceSource::AddSerialPort(std::u16string path, std::u16string driver) {
  const auto id = u"serial" + std::u16string(1, static_cast<char16_t>(u'A' + records_.size()));
  AddRecord(DeviceArea::kSerialDevices, id,
            {{std::u16string(kValueName), std::move(path)},
             {std::u16string(kValueKey), std::move(driver)}});
}

void MemoryDeviceSource::AddBluetoothPort(std::u16string path) {
  const auto id = u"binding" + std::u16string(1, static_cast<char16_t>(u'A' + records_.size()));
  AddRecord(DeviceArea::kBluetoothPorts, id, {{std::u16string(kValuePort), std::move(path)}});
}

std::vector<std::u16string> MemoryDeviceSource::Records(DeviceArea area) {
  std::vector<std::u16string> ids;
  for (const auto& record : records_) {
    if (record.area == area) ids.push_back(record.id);
  }
  return ids;
}

ReadStatus MemoryDeviceSource::ReadValue(DeviceArea area, std::u16string_view record,
                                         std::u16string_view value, std::u16string& text) {
  text.clear();
  for (const auto& entry : records_) {
    if (entry.area != area || entry.id != record) continue;
    if (entry.vanished) return kRecordMissing;
    for (const auto& field : entry.values) {
      if (field.name != value) continue;
      if (field.status == kReadOk) text = field.text;
      return field.status;
    }
    return kValueMissing;
  }
  return kRecordMissing;
}

}  // namespace quillon::testing
