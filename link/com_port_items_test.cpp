#include "link/com_port_items.h"

#include <gtest/gtest.h>

#include "testing/fake_bluetooth_lib.h"
#include "testing/memory_device_source.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using Items = std::vector<std::u16string>;

class ComPortItemsTest : public ::testing::Test {
 protected:
  testing::VirtualClock clock_;
  testing::FakeBluetoothLib bluetooth_{clock_};
  testing::MemoryDeviceSource source_;
};

TEST_F(ComPortItemsTest, BluetoothFirstThenSortedPortsCutAtTheColonThenNewBindings) {
  for (const auto* name : {u"COM10:", u"COM3:", u"COM1:", u"PORT:A:B"}) {
    source_.AddSerialPort(name);
  }
  source_.AddBluetoothPort(u"COM8:");  // a binding keeps its colon
  source_.AddBluetoothPort(u"/dev/rfcomm0");
  const auto result = FillComPortCombo(source_, bluetooth_);
  EXPECT_EQ(result.items,
            (Items{u"BLUETOOTH", u"COM1", u"COM3", u"COM10", u"PORT", u"COM8:", u"/dev/rfcomm0"}));
  EXPECT_EQ(result.selected, 0);
}

TEST_F(ComPortItemsTest, BindingEqualToAnItemIgnoringCaseIsNotAddedAgain) {
  source_.AddSerialPort(u"/dev/ttyUSB0");
  source_.AddSerialPort(u"COM4:");
  for (const auto* binding : {u"com4", u"/DEV/TTYUSB0", u"Bluetooth", u"COM4:", u"/dev/rfcomm0",
                              u"/dev/RFCOMM0", u"\u00C4", u"\u00E4"}) {
    source_.AddBluetoothPort(binding);
  }
  // "COM4:" differs from the item "COM4" by its colon; later bindings are also compared with
  // the bindings added before them.
  EXPECT_EQ(FillComPortCombo(source_, bluetooth_).items,
            (Items{u"BLUETOOTH", u"COM4", u"/dev/ttyUSB0", u"COM4:", u"/dev/rfcomm0", u"\u00C4"}));
}

TEST_F(ComPortItemsTest, WithoutBluetoothItemZeroIsTheFirstPortOrNothing) {
  bluetooth_.SetUsable(false);
  auto result = FillComPortCombo(source_, bluetooth_);
  EXPECT_TRUE(result.items.empty());
  EXPECT_EQ(result.selected, -1);

  source_.AddRecord(DeviceArea::kBluetoothPorts, u"unreadable",
                    {{u"Port", u"/dev/rfcomm1", kValueUnreadable}});
  source_.AddBluetoothPort(u"/dev/rfcomm2");  // still read after the unreadable one
  result = FillComPortCombo(source_, bluetooth_);
  EXPECT_EQ(result.items, (Items{u"/dev/rfcomm2"}));
  EXPECT_EQ(result.selected, 0);
}

}  // namespace
}  // namespace quillon
