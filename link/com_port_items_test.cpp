#include "link/com_port_items.h"

#include <gtest/gtest.h>

#include "testing/fake_bluetooth_lib.h"
#include "testing/memory_device_source.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::FakeBluetoothLib;
using testing::MemoryDeviceSource;
using Items = std::vector<std::u16string>;

class ComPortItemsTest : public ::testing::Test {
 protected:
  testing::VirtualClock clock_;
  FakeBluetoothLib bluetooth_{clock_};
  MemoryDeviceSource source_;
};

TEST_F(ComPortItemsTest, BluetoothFirstThenSortedPortsWithoutColonThenNewBindings) {
  for (const auto* name : {u"COM10:", u"COM3:", u"COM1:"}) source_.AddSerialPort(name);
  source_.AddBluetoothPort(u"COM8:");
  source_.AddBluetoothPort(u"/dev/rfcomm0");
  bluetooth_.SetUsable(true);
  const auto result = FillComPortCombo(source_, bluetooth_);
  // A binding keeps its colon.
  EXPECT_EQ(result.items,
            (Items{u"BLUETOOTH", u"COM1", u"COM3", u"COM10", u"COM8:", u"/dev/rfcomm0"}));
  EXPECT_EQ(result.selected, 0);
}

TEST_F(ComPortItemsTest, ColonCutKeepsOnlyWhatStandsBeforeTheFirstColon) {
  source_.AddSerialPort(u"/dev/ttyUSB0");
  source_.AddSerialPort(u"PORT:A:B");
  bluetooth_.SetUsable(false);
  EXPECT_EQ(FillComPortCombo(source_, bluetooth_).items, (Items{u"PORT", u"/dev/ttyUSB0"}));
}

TEST_F(ComPortItemsTest, BindingEqualToAnItemIgnoringCaseIsNotAddedAgain) {
  source_.AddSerialPort(u"/dev/ttyUSB0");
  source_.AddSerialPort(u"COM4:");
  for (const auto* binding : {u"com4", u"/DEV/TTYUSB0", u"Bluetooth", u"COM4:", u"/dev/rfcomm0",
                              u"/dev/RFCOMM0", u"/dev/rfcomm0"}) {
    source_.AddBluetoothPort(binding);
  }
  bluetooth_.SetUsable(true);
  // "COM4:" differs from the item "COM4" by its colon, so it is added; a later binding is also
  // compared with the bindings added before it.
  EXPECT_EQ(FillComPortCombo(source_, bluetooth_).items,
            (Items{u"BLUETOOTH", u"COM4", u"/dev/ttyUSB0", u"COM4:", u"/dev/rfcomm0"}));
}

TEST_F(ComPortItemsTest, WithoutBluetoothItemZeroIsTheFirstPortOrNothing) {
  bluetooth_.SetUsable(false);
  auto result = FillComPortCombo(source_, bluetooth_);
  EXPECT_TRUE(result.items.empty());
  EXPECT_EQ(result.selected, -1);

  source_.AddRecord(DeviceArea::kBluetoothPorts, u"unreadable",
                    {{u"Port", u"/dev/rfcomm1", kValueUnreadable}});
  source_.AddBluetoothPort(u"/dev/rfcomm2");  // read after the unreadable one
  result = FillComPortCombo(source_, bluetooth_);
  EXPECT_EQ(result.items, (Items{u"/dev/rfcomm2"}));
  EXPECT_EQ(result.selected, 0);
}

TEST(EqualIgnoringCaseTest, ComparesWholeTextsLetterByLetter) {
  EXPECT_TRUE(EqualIgnoringCase(u"COM4", u"com4"));
  EXPECT_TRUE(EqualIgnoringCase(u"\u00C4RGER", u"\u00E4rger"));
  EXPECT_FALSE(EqualIgnoringCase(u"COM4", u"COM4:"));
  EXPECT_FALSE(EqualIgnoringCase(u"COM4", u"COM5"));
  EXPECT_TRUE(EqualIgnoringCase(u"", u""));
}

}  // namespace
}  // namespace quillon
