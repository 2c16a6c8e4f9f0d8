// Runs against this machine's own devices: whatever it has, the records must read consistently.
#include "platform/udev_device_source.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"

namespace quillon {
namespace {

TEST(UdevDeviceSourceTest, EveryRecordReadsConsistentlyAndAVanishedOneIsReportedMissing) {
  const auto source = MakeUdevDeviceSource();
  using enum DeviceArea;
  std::u16string text = u"stale";
  EXPECT_EQ(
      source->ReadValue(kSerialDevices, u"/sys/devices/virtual/tty/nonesuch", kValueName, text),
      kRecordMissing);
  EXPECT_EQ(text, u"");
  // Every Linux system has virtual terminals: none means libudev was never reached.
  const auto records = source->Records(kSerialDevices);
  EXPECT_FALSE(records.empty());
  for (const auto& record : records) {
    const std::string path = WideToEightBit(record);
    if (source->ReadValue(kSerialDevices, record, kValueName, text) == kReadOk) {
      EXPECT_TRUE(text.starts_with(u"/dev/")) << path;
    }
    // Virtual terminals have no driver behind them.
    if (path.starts_with("/sys/devices/virtual/")) {
      EXPECT_EQ(source->ReadValue(kSerialDevices, record, kValueKey, text), kValueMissing) << path;
    }
    EXPECT_EQ(source->ReadValue(kSerialDevices, record, u"Colour", text), kValueMissing) << path;
  }
  for (const auto& record : source->Records(kBluetoothPorts)) {
    ASSERT_EQ(source->ReadValue(kBluetoothPorts, record, kValuePort, text), kReadOk);
    EXPECT_TRUE(text.starts_with(u"/dev/rfcomm")) << WideToEightBit(text);
  }
}

}  // namespace
}  // namespace quillon
