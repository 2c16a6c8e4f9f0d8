// libudev lives in this file only.
#include "platform/udev_device_source.h"

#include <libudev.h>

#include <cstring>
#include <string>

#include "common/text.h"

namespace quillon {
namespace {

struct UdevDeleter {
  void operator()(udev* handle) const { udev_unref(handle); }
  void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
  void operator()(udev_device* handle) const { udev_device_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// Serial core ports report their UART type; 0 (unknown) is a port slot without hardware.
bool IsEmptyPortSlot(udev_device* device) {
  const char* type = udev_device_get_sysattr_value(device, "type");
  return type != nullptr && std::strcmp(type, "0") == 0;
}

ReadStatus Text(const char* value, std::u16string& text) {
  if (value == nullptr) return kValueMissing;
  text = EightBitToWide(value);
  return kReadOk;
}

class UdevDeviceSource final : public DeviceSource {
 public:
  UdevDeviceSource() : udev_(udev_new()) {}

  std::vector<std::u16string> Records(DeviceArea area) override {
    std::vector<std::u16string> ids;
    if (!udev_) return ids;
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(udev_.get()));
    if (!enumeration) return ids;
    udev_enumerate_add_match_subsystem(enumeration.get(), "tty");
    if (area == DeviceArea::kBluetoothPorts) {
      udev_enumerate_add_match_sysname(enumeration.get(), "rfcomm*");
    }
    if (udev_enumerate_scan_devices(enumeration.get()) < 0) return ids;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
      ids.emplace_back(EightBitToWide(udev_list_entry_get_name(entry)));
    }
    return ids;
  }

  ReadStatus ReadValue(DeviceArea area, std::u16string_view record, std::u16string_view value,
                       std::u16string& text) override {
    text.clear();
    if (!udev_) return kRecordMissing;
    UdevPtr<udev_device> device(udev_device_new_from_syspath(udev_.get(), WideToEightBit(record)));
    if (!device) return kRecordMissing;

    const bool serial = area == DeviceArea::kSerialDevices;
    if ((serial && value == kValueName) || (!serial && value == kValuePort)) {
      return Text(udev_device_get_devnode(device.get()), text);
    }
    if (serial && value == kValueKey) {
      if (IsEmptyPortSlot(device.get())) return kValueMissing;
      // The parent belongs to the tty device; it is released with it.
      udev_device* parent = udev_device_get_parent(device.get());
      return Text(parent == nullptr ? nullptr : udev_device_get_driver(parent), text);
    }
    return kValueMissing;
  }

 private:
  UdevPtr<udev> udev_;
};

}  // namespace

std::unique_ptr<DeviceSource> MakeUdevDeviceSource() {
  return std::make_unique<UdevDeviceSource>();
}

}  // namespace quillon
