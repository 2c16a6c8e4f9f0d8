// The serial ports and Bluetooth bindings a device offers, and the port combo built from them.
#include "link/port_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/com_port_items.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/memory_device_source.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::MemoryDeviceSource;
using Names = std::vector<std::u16string>;

Names Listed(MemoryDeviceSource& source, bool sort = true) {
  CPortList list(source);
  list.EnumeratePorts();
  if (sort) list.SortPorts();
  Names names;
  for (std::uint32_t i = 0; i < list.Count(); ++i) names.push_back(list.GetPortName(i));
  EXPECT_EQ(list.GetPortName(list.Count()), u"");
  return names;
}

TEST(PortListTest, SortsBySumOfUnitsNotNumerically) {
  const std::pair<Names, Names> cases[] = {
      {{u"COM10:", u"COM3:", u"COM1:"}, {u"COM1:", u"COM3:", u"COM10:"}},
      {{u"COM19:", u"COM20:"}, {u"COM20:", u"COM19:"}},
      // "ACM" sums lower than "USB"; "10" sums higher than "2".
      {{u"/dev/ttyUSB2", u"/dev/ttyUSB10", u"/dev/ttyACM0", u"/dev/ttyUSB1"},
       {u"/dev/ttyACM0", u"/dev/ttyUSB1", u"/dev/ttyUSB2", u"/dev/ttyUSB10"}},
      // Equal sums (COM12:/COM21: 380, COM13:/COM31: 381) end where the exchange procedure puts
      // them, walked by hand; a stable sort would keep COM21 before COM12.
      {{u"COM21:", u"COM12:", u"COM5:", u"COM31:", u"COM13:"},
       {u"COM5:", u"COM12:", u"COM21:", u"COM31:", u"COM13:"}},
  };
  for (const auto& [enumerated, sorted] : cases) {
    MemoryDeviceSource source;
    for (const auto& name : enumerated) source.AddSerialPort(name);
    EXPECT_EQ(Listed(source), sorted);
  }
}

TEST(PortListTest, SkipsRecordsWithoutAUsableNameOrDriver) {
  MemoryDeviceSource source;
  const auto serial = DeviceArea::kSerialDevices;
  source.AddSerialPort(u"COM");    // three units: names no port
  source.AddSerialPort(u"COMX");   // four: taken
  source.AddSerialPort(u"com1:");  // no "COM" rule on Linux paths
  source.AddRecord(serial, u"no-driver", {{u"Name", u"/dev/ttyS4"}});
  source.AddRecord(serial, u"no-name", {{u"Key", u"8250"}});
  source.AddRecord(serial, u"name-unreadable",
                   {{u"Name", u"/dev/ttyS5", kValueUnreadable}, {u"Key", u"8250"}});
  source.AddRecord(serial, u"driver-unreadable",
                   {{u"Name", u"/dev/ttyS6"}, {u"Key", u"8250", kValueUnreadable}});
  source.AddRecord(serial, u"gone", {{u"Name", u"/dev/ttyUSB7"}, {u"Key", u"ftdi_sio"}}, true);
  source.AddRecord(serial, u"nul-inside",
                   {{u"Name", std::u16string(u"/dev/ttyS8\0x", 12)}, {u"Key", u"8250"}});
  source.AddSerialPort(u"/dev/ttyACM0", u"cdc_acm");
  EXPECT_EQ(Listed(source, false), (Names{u"COMX", u"com1:", u"/dev/ttyS8", u"/dev/ttyACM0"}));
}

TEST(PortListTest, TakesTheFirstSixteenInEnumerationOrderBeforeSorting) {
  // Enumerated from 20 down: the sixteen taken are 20..5, so 1..4 are missing although they
  // would sort first. A record without a driver does not count towards the sixteen.
  MemoryDeviceSource source;
  source.AddRecord(DeviceArea::kSerialDevices, u"skipped", {{u"Name", u"/dev/ttyS99"}});
  for (int n = 20; n >= 1; --n) {
    std::u16string name = u"/dev/ttyUSB";
    for (const char digit : std::to_string(n)) name += static_cast<char16_t>(digit);
    source.AddSerialPort(name);
  }
  const Names sorted = Listed(source);
  ASSERT_EQ(sorted.size(), kPortListCapacity);
  EXPECT_EQ(sorted.front(), u"/dev/ttyUSB5");  // the lowest sum of those taken
  for (const auto* missing : {u"/dev/ttyUSB1", u"/dev/ttyUSB4"}) {
    EXPECT_EQ(std::count(sorted.begin(), sorted.end(), missing), 0);
  }
}

TEST(PortListTest, BluetoothBindingsAreReadOneIndexAtATime) {
  MemoryDeviceSource source;
  source.AddBluetoothPort(u"/dev/rfcomm0");
  source.AddRecord(DeviceArea::kBluetoothPorts, u"broken", {{u"Port", u"", kValueUnreadable}});
  source.AddBluetoothPort(std::u16string(kBluetoothPortNameSize, u'x'));  // too long: left out
  source.AddBluetoothPort(std::u16string(kBluetoothPortNameSize - 1, u'y'));
  CPortList list(source);
  std::u16string name;
  const Names expected = {u"/dev/rfcomm0", u"", u"", std::u16string(255, u'y')};
  for (std::uint32_t i = 0; i < expected.size(); ++i) {
    ASSERT_TRUE(list.GetBluetoothPort(i, name)) << i;
    EXPECT_EQ(name, expected[i]) << i;
  }
  EXPECT_FALSE(list.GetBluetoothPort(4, name));
}

// A binding equal to an item ignoring case is left out; without Bluetooth the first item is chosen.
TEST(ComPortItemsTest, BluetoothFirstThenSortedPortsCutAtTheColonThenNewBindings) {
  const struct {
    Names serial, bindings;
    bool bluetooth;
    Names items;
    int selected;
  } cases[] = {
      {{u"COM10:", u"COM3:", u"COM1:", u"PORT:A:B"},
       {u"COM8:", u"/dev/rfcomm0"},  // a binding keeps its colon
       true,
       {u"BLUETOOTH", u"COM1", u"COM3", u"COM10", u"PORT", u"COM8:", u"/dev/rfcomm0"},
       0},
      // "COM4:" differs from the item "COM4" by its colon; later bindings are also compared with
      // the bindings added before them.
      {{u"/dev/ttyUSB0", u"COM4:"},
       {u"com4", u"/DEV/TTYUSB0", u"Bluetooth", u"COM4:", u"/dev/rfcomm0", u"/dev/RFCOMM0",
        u"\u00C4", u"\u00E4"},
       true,
       {u"BLUETOOTH", u"COM4", u"/dev/ttyUSB0", u"COM4:", u"/dev/rfcomm0", u"\u00C4"},
       0},
      {{}, {}, false, {}, -1},
      {{u"COM2:", u"COM1:"}, {}, false, {u"COM1", u"COM2"}, 0},
      {{}, {u"/dev/rfcomm2"}, false, {u"/dev/rfcomm2"}, 0},
  };
  for (const auto& c : cases) {
    testing::VirtualClock clock;
    testing::FakeBluetoothLib bluetooth(clock);
    bluetooth.SetUsable(c.bluetooth);
    MemoryDeviceSource source;
    for (const auto& name : c.serial) source.AddSerialPort(name);
    source.AddRecord(DeviceArea::kBluetoothPorts, u"unreadable",
                     {{u"Port", u"/dev/rfcomm1", kValueUnreadable}});
    for (const auto& name : c.bindings) source.AddBluetoothPort(name);
    const auto result = FillComPortCombo(source, bluetooth);
    EXPECT_EQ(result.items, c.items);
    EXPECT_EQ(result.selected, c.selected);
  }
}

}  // namespace
}  // namespace quillon
