#include "link/port_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/memory_device_source.h"

namespace quillon {
namespace {

using testing::MemoryDeviceSource;

std::vector<std::u16string> Names(const CPortList& list) {
  std::vector<std::u16string> names;
  for (std::uint32_t i = 0; i < list.Count(); ++i) names.push_back(list.GetPortName(i));
  return names;
}

std::vector<std::u16string> Discover(MemoryDeviceSource& source) {
  CPortList list(source);
  list.EnumeratePorts();
  list.SortPorts();
  return Names(list);
}

TEST(PortListTest, SortsBySumOfUnitsNotNumerically) {
  struct Case {
    std::vector<std::u16string> enumerated;
    std::vector<std::u16string> expected;
  };
  const std::vector<Case> cases = {
      {{u"COM10:", u"COM3:", u"COM1:"}, {u"COM1:", u"COM3:", u"COM10:"}},
      {{u"COM19:", u"COM20:"}, {u"COM20:", u"COM19:"}},
      {{u"/dev/ttyS10", u"/dev/ttyS3", u"/dev/ttyS1"},
       {u"/dev/ttyS1", u"/dev/ttyS3", u"/dev/ttyS10"}},
      // "ACM" sums lower than "USB"; "10" sums higher than "2".
      {{u"/dev/ttyUSB2", u"/dev/ttyUSB10", u"/dev/ttyACM0", u"/dev/ttyUSB1"},
       {u"/dev/ttyACM0", u"/dev/ttyUSB1", u"/dev/ttyUSB2", u"/dev/ttyUSB10"}},
  };
  for (const auto& c : cases) {
    MemoryDeviceSource source;
    for (const auto& name : c.enumerated) source.AddSerialPort(name);
    EXPECT_EQ(Discover(source), c.expected);
  }
}

TEST(PortListTest, EqualKeysEndInTheOrderTheExchangeProcedureGives) {
  // "COM12:" and "COM21:" have the same sum (380), as do "COM13:" and "COM31:" (381). Walking
  // the procedure by hand over [COM21, COM12, COM5, COM31, COM13]: i=0 swaps with j=3 ->
  // [COM31, COM12, COM5, COM21, COM13]; i=1 swaps with j=0 -> [COM12, COM31, COM5, COM21,
  // COM13]; i=2 swaps with j=0, then j=1 -> [COM5, COM12, COM31, COM21, COM13]; i=3 swaps with
  // j=2 -> [COM5, COM12, COM21, COM31, COM13]; i=4 is smaller than no key. A stable sort would
  // keep COM21 before COM12 and COM31 before COM13.
  MemoryDeviceSource source;
  for (const auto* name : {u"COM21:", u"COM12:", u"COM5:", u"COM31:", u"COM13:"}) {
    source.AddSerialPort(name);
  }
  EXPECT_EQ(CPortList::SortKey(u"COM21:"), CPortList::SortKey(u"COM12:"));
  EXPECT_EQ(Discover(source),
            (std::vector<std::u16string>{u"COM5:", u"COM12:", u"COM21:", u"COM31:", u"COM13:"}));
}

TEST(PortListTest, SkipsRecordsWithoutAUsableNameOrDriver) {
  MemoryDeviceSource source;
  const auto serial = DeviceArea::kSerialDevices;
  source.AddSerialPort(u"COM");    // three units: names no port
  source.AddSerialPort(u"COMX");   // four: taken
  source.AddSerialPort(u"com1:");  // letter case does not matter on Linux paths
  source.AddRecord(serial, u"no-driver", {{u"Name", u"/dev/ttyS4"}});
  source.AddRecord(serial, u"no-name", {{u"Key", u"8250"}});
  source.AddRecord(serial, u"name-unreadable",
                   {{u"Name", u"/dev/ttyS5", kValueUnreadable}, {u"Key", u"8250"}});
  source.AddRecord(serial, u"driver-unreadable",
                   {{u"Name", u"/dev/ttyS6"}, {u"Key", u"8250", kValueUnreadable}});
  source.AddRecord(serial, u"gone", {{u"Name", u"/dev/ttyUSB7"}, {u"Key", u"ftdi_sio"}},
                   /*vanished=*/true);
  source.AddRecord(serial, u"nul-inside",
                   {{u"Name", std::u16string(u"/dev/ttyS8\0x", 12)}, {u"Key", u"8250"}});
  source.AddSerialPort(u"/dev/ttyACM0", u"cdc_acm");

  CPortList list(source);
  list.EnumeratePorts();
  EXPECT_EQ(Names(list),
            (std::vector<std::u16string>{u"COMX", u"com1:", u"/dev/ttyS8", u"/dev/ttyACM0"}));
}

TEST(PortListTest, TakesTheFirstSixteenInEnumerationOrderBeforeSorting) {
  // Twenty ports enumerated from the highest number down: the sixteen taken are 20..5, so 1..4
  // are missing even though they would sort first.
  MemoryDeviceSource source;
  source.AddRecord(DeviceArea::kSerialDevices, u"skipped", {{u"Name", u"/dev/ttyS99"}});
  for (int n = 20; n >= 1; --n) {
    std::u16string name = u"/dev/ttyUSB";
    for (const char digit : std::to_string(n)) name += static_cast<char16_t>(digit);
    source.AddSerialPort(name);
  }
  CPortList list(source);
  list.EnumeratePorts();
  ASSERT_EQ(list.Count(), kPortListCapacity);
  EXPECT_EQ(list.GetPortName(0), u"/dev/ttyUSB20");  // records without a driver do not count
  EXPECT_EQ(list.GetPortName(15), u"/dev/ttyUSB5");
  list.SortPorts();
  const auto sorted = Names(list);
  for (const auto* missing : {u"/dev/ttyUSB1", u"/dev/ttyUSB2", u"/dev/ttyUSB3", u"/dev/ttyUSB4"}) {
    EXPECT_EQ(std::count(sorted.begin(), sorted.end(), missing), 0);
  }
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_LE(CPortList::SortKey(sorted[i - 1]), CPortList::SortKey(sorted[i]));
  }
}

TEST(PortListTest, NamesOutsideTheListAreEmptyAndRefillingStartsAfresh) {
  MemoryDeviceSource source;
  source.AddSerialPort(u"/dev/ttyUSB0");
  source.AddSerialPort(u"/dev/ttyUSB1");
  CPortList list(source);
  list.EnumeratePorts();
  EXPECT_EQ(list.GetPortName(2), u"");
  EXPECT_EQ(list.GetPortName(0xFFFFFFFF), u"");
  list.EnumeratePorts();
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"/dev/ttyUSB0", u"/dev/ttyUSB1"}));
}

TEST(PortListTest, ReadStatusTellsWhatWentWrong) {
  MemoryDeviceSource source;
  source.AddRecord(DeviceArea::kSerialDevices, u"r",
                   {{u"Name", u"/dev/ttyS0"}, {u"Key", u"x", kValueUnreadable}});
  source.AddRecord(DeviceArea::kSerialDevices, u"gone", {}, /*vanished=*/true);
  CPortList list(source);
  struct Case {
    std::u16string_view record, value, text;
    std::int32_t status;
  };
  for (const Case& c :
       {Case{u"r", u"Name", u"/dev/ttyS0", 0}, Case{u"missing", u"Name", u"", 1},
        Case{u"gone", u"Name", u"", 1}, Case{u"r", u"Port", u"", 2}, Case{u"r", u"Key", u"", 3}}) {
    EXPECT_EQ(list.ReadRegString(DeviceArea::kSerialDevices, c.record, c.value), c.text);
    EXPECT_EQ(list.LastReadStatus(), c.status) << std::string(c.record.begin(), c.record.end());
  }
}

TEST(PortListTest, BluetoothBindingsAreReadOneIndexAtATime) {
  MemoryDeviceSource source;
  source.AddBluetoothPort(u"/dev/rfcomm0");
  source.AddRecord(DeviceArea::kBluetoothPorts, u"broken", {{u"Port", u"", kValueUnreadable}});
  source.AddBluetoothPort(std::u16string(kBluetoothPortNameSize, u'x'));  // too long: left out
  source.AddBluetoothPort(std::u16string(kBluetoothPortNameSize - 1, u'y'));
  CPortList list(source);
  std::u16string name = u"stale";
  const std::vector<std::u16string> expected = {u"/dev/rfcomm0", u"", u"",
                                                std::u16string(255, u'y')};
  for (std::uint32_t i = 0; i < expected.size(); ++i) {
    ASSERT_TRUE(list.GetBluetoothPort(i, name)) << i;
    EXPECT_EQ(name, expected[i]) << i;
  }
  EXPECT_FALSE(list.GetBluetoothPort(4, name));
  EXPECT_EQ(name, u"");
}

}  // namespace
}  // namespace quillon
