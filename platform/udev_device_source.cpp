// libudev lives in this file only, loaded when the devices are first asked for.
#include "platform/udev_device_source.h"

#include <libudev.h>

#include <cstring>
#include <mutex>
#include <string>

#include "common/text.h"
#include "platform/loaded_library.h"

namespace quillon {
namespace {

#define QUILLON_UDEV_FUNCTIONS(F)       \
  F(udev_new)                           \
  F(udev_unref)                         \
  F(udev_enumerate_new)                 \
  F(udev_enumerate_unref)               \
  F(udev_enumerate_add_match_subsystem) \
  F(udev_enumerate_add_match_sysname)   \
  F(udev_enumerate_scan_devices)        \
  F(udev_enumerate_get_list_entry)      \
  F(udev_list_entry_get_next)           \
  F(udev_list_entry_get_name)           \
  F(udev_device_new_from_syspath)       \
  F(udev_device_unref)                  \
  F(udev_device_get_devnode)            \
  F(udev_device_get_parent)             \
  F(udev_device_get_driver)             \
  F(udev_device_get_sysattr_value)

QUILLON_LIBRARY_API(Udev, QUILLON_UDEV_FUNCTIONS);

struct UdevDeleter {
  const Udev* api;
  void operator()(udev* handle) const { api->udev_unref(handle); }
  void operator()(udev_enumerate* handle) const { api->udev_enumerate_unref(handle); }
  void operator()(udev_device* handle) const { api->udev_device_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// Serial core ports report their UART type; 0 (unknown) is a port slot without hardware.
bool IsEmptyPortSlot(const Udev& api, udev_device* device) {
  const char* type = api.udev_device_get_sysattr_value(device, "type");
  return type != nullptr && std::strcmp(type, "0") == 0;
}

ReadStatus Text(const char* value, std::u16string& text) {
  if (value == nullptr) return kValueMissing;
  text = EightBitToWide(value);
  return kReadOk;
}

class UdevDeviceSource final : public DeviceSource {
 public:
  std::vector<std::u16string> Records(DeviceArea area) override {
    std::vector<std::u16string> ids;
    udev* context = Context();
    if (context == nullptr) return ids;
    const Udev& api = *api_;
    UdevPtr<udev_enumerate> enumeration(api.udev_enumerate_new(context), {&api});
    if (!enumeration) return ids;
    api.udev_enumerate_add_match_subsystem(enumeration.get(), "tty");
    if (area == DeviceArea::kBluetoothPorts) {
      api.udev_enumerate_add_match_sysname(enumeration.get(), "rfcomm*");
    }
    if (api.udev_enumerate_scan_devices(enumeration.get()) < 0) return ids;
    for (udev_list_entry* entry = api.udev_enumerate_get_list_entry(enumeration.get());
         entry != nullptr; entry = api.udev_list_entry_get_next(entry)) {
      ids.emplace_back(EightBitToWide(api.udev_list_entry_get_name(entry)));
    }
    return ids;
  }

  ReadStatus ReadValue(DeviceArea area, std::u16string_view record, std::u16string_view value,
                       std::u16string& text) override {
    text.clear();
    udev* context = Context();
    if (context == nullptr) return kRecordMissing;
    const Udev& api = *api_;
    UdevPtr<udev_device> device(
        api.udev_device_new_from_syspath(context, WideToEightBit(record)), {&api});
    if (!device) return kRecordMissing;

    const bool serial = area == DeviceArea::kSerialDevices;
    if ((serial && value == kValueName) || (!serial && value == kValuePort)) {
      return Text(api.udev_device_get_devnode(device.get()), text);
    }
    if (serial && value == kValueKey) {
      if (IsEmptyPortSlot(api, device.get())) return kValueMissing;
      // The parent belongs to the tty device; it is released with it.
      udev_device* parent = api.udev_device_get_parent(device.get());
      return Text(parent == nullptr ? nullptr : api.udev_device_get_driver(parent), text);
    }
    return kValueMissing;
  }

 private:
  // The library and its context, had at the first question; nullptr without them.
  udev* Context() {
    std::call_once(loaded_, [this] {
      api_ = LoadLibraryApi<Udev>("libudev.so.1");
      if (api_ != nullptr) udev_ = UdevPtr<udev>(api_->udev_new(), {api_});
    });
    return udev_.get();
  }

  std::once_flag loaded_;
  const Udev* api_ = nullptr;
  UdevPtr<udev> udev_{nullptr, {nullptr}};
};

}  // namespace

std::unique_ptr<DeviceSource> MakeUdevDeviceSource() {
  return std::make_unique<UdevDeviceSource>();
}

}  // namespace quillon
