#include "common/settings_form.h"

#include <gtest/gtest.h>

#include "common/connect_checks.h"
#include "common/strings.h"

namespace quillon {
namespace {

TEST(SettingsFormTest, ThePortTextIsReadAsTheCLibraryReadsADecimalNumber) {
  // A number too large is held, never wrapped.
  for (const auto& [text, port] : {std::pair{u"2101", 2101},
                                   {u"", 0},
                                   {u"abc", 0},
                                   {u"  80x", 80},
                                   {u"-5", -5},
                                   {u"+21", 21},
                                   {u"99999999999", 2147483647}}) {
    SettingsRecord record;
    SettingsControls controls;
    controls.port = text;
    ReadControlsInto(controls, record);
    EXPECT_EQ(record.port, port) << port;
    EXPECT_EQ(record.selectedHost, 0);  // nothing selected in the address list
  }
}

TEST(ConnectChecksTest, TheFirstProblemIsReportedAndPortsOutsideTheTcpRangeAreInvalid) {
  const struct {
    std::u16string address, comPort;
    std::int32_t port;
    std::uint32_t connect, sourceTable;
  } cases[] = {
      {u"", u"", 0, kStrAddressEmpty, kStrAddressEmpty},
      {u"h", u"", 0, kStrNoComPort, kStrPortInvalid},
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

// Picking a stored caster brings its protocol; reading the controls back keeps it, and a typed
// address brings its own.
TEST(SettingsFormTest, TheDialogsChoiceOfCasterBringsItsProtocolAndKeepsIt) {
  const CasterProtocol tls{NtripVersion::k2, true, "/etc/ca.pem"};
  SettingsRecord record;
  record.hostCount = 2;
  SetFieldText(record.hosts[1].address, u"tls.example");
  record.hosts[1].protocol = tls;
  record.selectedHost = 1;
  ASSERT_NE(TakeSelectedHost(record), nullptr);
  EXPECT_EQ(record.protocol, tls);
  SettingsControls controls;
  controls.address = u"tls.example";
  controls.selectedHost = 1;
  ReadControlsInto(controls, record);
  EXPECT_EQ(record.protocol, tls);
  controls.address = u"new.example";  // typed: a caster the history does not know
  controls.selectedHost = -1;
  ReadControlsInto(controls, record);
  EXPECT_EQ(record.protocol, CasterProtocol{});
}

}  // namespace
}  // namespace quillon
