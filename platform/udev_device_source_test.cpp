// Runs against this machine's own devices: whatever it has, the records must read consistently.
#include "platform/udev_device_source.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"

namespace quillon {
namespace {

std::string Narrow(std::u16string_view text) { return WideToEightBit(text); }

TEST(UdevDeviceSourceTest, VirtualTerminalsHaveNoDriverAndEveryNameIsADeviceNode) {
  const auto source = MakeUdevDeviceSource();
  int virtualTerminals = 0;
  for (const auto& record : source->Records(DeviceArea::kSerialDevices)) {
    const std::string path = Narrow(record);
    std::u16string name, key;
    if (source->ReadValue(DeviceArea::kSerialDevices, record, kValueName, name) == kReadOk) {
      EXPECT_TRUE(name.starts_with(u"/dev/")) << path;
    }
    const auto keyStatus = source->ReadValue(DeviceArea::kSerialDevices, record, kValueKey, key);
    if (path.starts_with("/sys/devices/virtual/")) {
      ++virtualTerminals;
      EXPECT_EQ(keyStatus, kValueMissing) << path;
    }
  }
  for (const auto& record : source->Records(DeviceArea::kBluetoothPorts)) {
    std::u16string port;
    ASSERT_EQ(source->ReadValue(DeviceArea::kBluetoothPorts, record, kValuePort, port), kReadOk);
    EXPECT_TRUE(port.starts_with(u"/dev/rfcomm")) << Narrow(port);
  }
  if (virtualTerminals == 0) GTEST_SKIP() << "no virtual terminals listed on this machine";
}

TEST(UdevDeviceSourceTest, VanishedRecordsAndUnknownValuesReportTheirStatus) {
  const auto source = MakeUdevDeviceSource();
  std::u16string text = u"stale";
  EXPECT_EQ(source->ReadValue(DeviceArea::kSerialDevices, u"/sys/devices/virtual/tty/nonesuch",
                              kValueName, text),
            kRecordMissing);
  EXPECT_EQ(text, u"");
  const auto records = source->Records(DeviceArea::kSerialDevices);
  if (records.empty()) GTEST_SKIP() << "no tty devices visible";
  for (const auto value : {kValuePort, std::u16string_view(u"Colour")}) {
    EXPECT_EQ(source->ReadValue(DeviceArea::kSerialDevices, records.front(), value, text),
              kValueMissing);
  }
}

}  // namespace
}  // namespace quillon
