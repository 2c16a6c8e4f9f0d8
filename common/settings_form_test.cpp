#include "common/settings_form.h"

#include <gtest/gtest.h>

#include "common/connect_checks.h"
#include "common/strings.h"

namespace quillon {
namespace {

TEST(SettingsFormTest, ThePortTextIsReadAsTheCLibraryReadsADecimalNumber) {
  const std::pair<std::u16string, std::int32_t> cases[] = {
      {u"2101", 2101},
      {u"", 0},
      {u"abc", 0},
      {u"  80x", 80},
      {u"-5", -5},
      {u"+21", 21},
      {u"99999999999", 2147483647},  // held at the range's end, never wrapped
      {u"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, port] : cases) {
    SettingsRecord record;
    SettingsControls controls;
    controls.port = text;
    ReadControlsInto(controls, record);
    EXPECT_EQ(record.port, port) << std::string(text.begin(), text.end());
  }
}

TEST(SettingsFormTest, TextsAreCutToTheirFieldsAndPositionsKeptExceptANegativeHost) {
  SettingsRecord record;
  SetFieldText(record.userName, u"kept");
  SettingsControls controls;
  controls.password = std::u16string(30, u'p');
  controls.address = u"caster.example.com.invalid";
  controls.comIndex = 3;
  controls.comPortName = u"/dev/ttyUSB0";
  controls.noAuthentication = true;
  ReadControlsInto(controls, record);
  EXPECT_EQ(FieldText(record.userName), u"kept");  // no user-name box (the Base)
  EXPECT_EQ(FieldText(record.password), std::u16string(15, u'p'));
  EXPECT_EQ(FieldText(record.address), u"caster.example.com.");
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(record.comIndex, 3);
  EXPECT_EQ(record.baudIndex, -1);
  EXPECT_EQ(record.noAuthentication, 1);
  EXPECT_EQ(FieldText(record.comPortName), u"/dev/ttyUSB0");

  controls.userName = u"";
  controls.selectedHost = 2;
  controls.noAuthentication = false;
  ReadControlsInto(controls, record);
  EXPECT_EQ(FieldText(record.userName), u"");
  EXPECT_EQ(record.selectedHost, 2);
  EXPECT_EQ(record.noAuthentication, 0);
}

TEST(SettingsFormTest, OnlyASelectedHostThatNamesAUsedEntryIsTaken) {
  SettingsRecord record;
  record.hostCount = 2;
  SetFieldText(record.hosts[1].address, u"rtk.example.com");
  SetFieldText(record.hosts[1].userName, u"u");
  SetFieldText(record.hosts[1].password, u"p");
  record.hosts[1].port = 2102;
  SetFieldText(record.address, u"typed");
  for (const std::int32_t selected : {-1, 2, 5}) {
    record.selectedHost = selected;
    EXPECT_EQ(TakeSelectedHost(record), nullptr) << selected;
    EXPECT_EQ(FieldText(record.address), u"typed");
  }
  record.selectedHost = 1;
  EXPECT_EQ(TakeSelectedHost(record), &record.hosts[1]);
  EXPECT_EQ(FieldText(record.address), u"rtk.example.com");
  EXPECT_EQ(FieldText(record.userName), u"u");
  EXPECT_EQ(FieldText(record.password), u"p");
  EXPECT_EQ(record.port, 2102);
}

TEST(ConnectChecksTest, TheFirstProblemIsReportedAndPortsOutsideTheTcpRangeAreInvalid) {
  struct Case {
    std::u16string address;
    std::u16string comPort;
    std::int32_t port;
    std::uint32_t connect;
    std::uint32_t sourceTable;
  };
  const Case cases[] = {
      {u"", u"", 0, kStrAddressEmpty, kStrAddressEmpty},
      {u"h", u"", 0, kStrNoComPort, kStrPortInvalid},
      {u"h", u"COM1", 0, kStrPortInvalid, kStrPortInvalid},
      {u"h", u"COM1", 65536, kStrPortInvalid, kStrPortInvalid},  // would reach port 0
      {u"h", u"COM1", -1, kStrPortInvalid, kStrPortInvalid},
      {u"h", u"", 65535, kStrNoComPort, 0},
      {u"h", u"COM1", 1, 0, 0},
  };
  for (const auto& c : cases) {
    SettingsRecord record;
    SetFieldText(record.address, c.address);
    SetFieldText(record.comPortName, c.comPort);
    record.port = c.port;
    EXPECT_EQ(FirstConnectProblem(record), c.connect) << c.port;
    EXPECT_EQ(FirstSourceTableProblem(record), c.sourceTable) << c.port;
  }
}

}  // namespace
}  // namespace quillon
