#include "common/settings_form.h"

#include <gtest/gtest.h>

#include "common/connect_checks.h"
#include "common/strings.h"

namespace quillon {
namespace {

TEST(SettingsFormTest, ThePortIsReadAsTheCLibraryReadsItAndAPickedCasterKeepsItsProtocol) {
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
  // Reading the controls back keeps the picked caster's protocol; a typed address brings its own.
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

// A version 1 request line splits at blanks, a Basic user name ends at a colon.
TEST(ConnectChecksTest, RefusesTheFirstSettingThatNoConnectionOrLoginCouldCarry) {
  using enum ConnectingMode;
  using enum NtripVersion;
  const struct {
    std::u16string address = u"h", comPort = u"COM1";
    std::int32_t port = 1;
    ConnectingMode mode = kRover;
    NtripVersion version = k1;
    std::int32_t noAuthentication = 0;
    std::u16string user = u"u", password = u"p", mountPoint = u"M";
    std::uint32_t connect = 0, sourceTable = 0;
  } cases[] = {
      {.address = u"",
       .comPort = u"",
       .connect = kStrAddressEmpty,
       .sourceTable = kStrAddressEmpty},
      {.comPort = u"", .port = 0, .connect = kStrNoComPort, .sourceTable = kStrPortInvalid},
      {.port = 65536, .connect = kStrPortInvalid, .sourceTable = kStrPortInvalid},
      {.port = -1, .connect = kStrPortInvalid, .sourceTable = kStrPortInvalid},
      {.comPort = u"", .port = 65535, .connect = kStrNoComPort},
      {.mountPoint = u"M HTTP/1.1", .connect = kStrMountPointBlank},
      {.mode = kBase, .mountPoint = u"M\t", .connect = kStrMountPointBlank},
      {.version = k2, .mountPoint = u"M N"},
      {.noAuthentication = 1, .user = u"u:x", .mountPoint = u"M N"},  // nothing is sent
      {.mode = kBase, .password = u"p w", .connect = kStrSourcePasswordBlank},
      {.password = u"p w:\u00e9"},
      {.mode = kBase, .version = k2, .password = u"p w"},
      {.user = u"u:colon", .connect = kStrUserNameColon},
      {.mode = kBase, .version = k2, .user = u"u:colon", .connect = kStrUserNameColon},
      {.mode = kBase, .user = u"u:colon"},  // a version 1 SOURCE sends no user name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    SettingsRecord record;
    SetFieldText(record.address, c.address);
    SetFieldText(record.comPortName, c.comPort);
    record.port = c.port;
    record.protocol.version = c.version;
    record.noAuthentication = c.noAuthentication;
    SetFieldText(record.userName, c.user);
    SetFieldText(record.password, c.password);
    SetFieldText(record.mountPoint, c.mountPoint);
    EXPECT_EQ(FirstConnectProblem(record, c.mode), c.connect);
    EXPECT_EQ(FirstSourceTableProblem(record), c.sourceTable);
  }
}

}  // namespace
}  // namespace quillon
