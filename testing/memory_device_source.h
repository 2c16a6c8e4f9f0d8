// An in-memory device source: records in the order they were added, each value readable or
// failing with a scripted status.
#pragma once

#include <string>
#include <vector>

#include "platform/device_source.h"

namespace quillon::testing {

class MemoryDeviceSource final : public DeviceSource {
 public:
  struct Value {
    std::u16string name;
    std::u16string text;
    ReadStatus status = kReadOk;  // anything else: reading this value fails with it
  };

  // Adds a record; `vanished` records are listed but cannot be opened (kRecordMissing).
  void AddRecord(DeviceArea area, std::u16string id, std::vector<Value> values,
                 bool vanished = false);

  // A serial device with its path and driver.
  void AddSerialPort(std::u16string path, std::u16string driver = u"ftdi_sio");

  // A Bluetooth binding with its path.
  void AddBluetoothPort(std::u16string path);

  std::vector<std::u16string> Records(DeviceArea area) override;
  ReadStatus ReadValue(DeviceArea area, std::u16string_view record, std::u16string_view value,
                       std::u16string& text) override;

 private:
  struct Record {
    DeviceArea area;
    std::u16string id;
    std::vector<Value> values;
    bool vanished;
  };
  std::vector<Record> records_;
};

}  // namespace quillon::testing
