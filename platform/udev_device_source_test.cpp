#include "platform/udev_device_source.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "link/port_list.h"

namespace quillon {
namespace {

std::string Narrow(std::u16string_view text) { return WideToEightBit(text); }

// Whatever this machine has: every listed record reads consistently, and the records the
// port list takes are device nodes with a driver behind them.
TEST(UdevDeviceSourceTest, ListsThisMachinesTerminalsConsistently) {
  const auto source = MakeUdevDeviceSource();
  const auto records = source->Records(DeviceArea::kSerialDevices);
  int virtualTerminals = 0;
  for (const auto& record : records) {
    const std::string path = Narrow(record);
    std::u16string name, key;
    const auto nameStatus = source->ReadValue(DeviceArea::kSerialDevices, record, kValueName, name);
    if (nameStatus == kReadOk) {
      EXPECT_TRUE(name.starts_with(u"/dev/")) << path;
    }
    const auto keyStatus = source->ReadValue(DeviceArea::kSerialDevices, record, kValueKey, key);
    if (path.starts_with("/sys/devices/virtual/")) {
      ++virtualTerminals;
      EXPECT_EQ(keyStatus, kValueMissing) << path;
    } else if (keyStatus == kReadOk) {
      EXPECT_FALSE(key.empty()) << path;
    }
  }

  CPortList list(*source);
  list.EnumeratePorts();
  EXPECT_LE(list.Count(), kPortListCapacity);
  for (std::uint32_t i = 0; i < list.Count(); ++i) {
    EXPECT_TRUE(list.GetPortName(i).starts_with(u"/dev/")) << Narrow(list.GetPortName(i));
    EXPECT_FALSE(list.GetPortName(i).starts_with(u"/dev/tty0")) << "a virtual console";
  }
  if (virtualTerminals == 0) GTEST_SKIP() << "no virtual terminals listed on this machine";
}

TEST(UdevDeviceSourceTest, BluetoothAreaHoldsOnlyRfcommBindings) {
  const auto source = MakeUdevDeviceSource();
  for (const auto& record : source->Records(DeviceArea::kBluetoothPorts)) {
    EXPECT_NE(Narrow(record).find("/rfcomm"), std::string::npos) << Narrow(record);
    std::u16string port;
    if (source->ReadValue(DeviceArea::kBluetoothPorts, record, kValuePort, port) == kReadOk) {
      EXPECT_TRUE(port.starts_with(u"/dev/rfcomm")) << Narrow(port);
    }
  }
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
  EXPECT_EQ(source->ReadValue(DeviceArea::kSerialDevices, records.front(), kValuePort, text),
            kValueMissing);
  EXPECT_EQ(source->ReadValue(DeviceArea::kSerialDevices, records.front(), u"Colour", text),
            kValueMissing);
}

}  // namespace
}  // namespace quillon
