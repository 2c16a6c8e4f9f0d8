#include "common/caster_options.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

using enum ConnectingMode;

TEST(CasterOptionsTest, ProblemsAreToldForTheModeThatHasTheValue) {
  const quillon::testing::TempFolder folder;
  const std::string ca = (folder.Path() / "ca.pem").string();
  std::ofstream(ca) << "-----BEGIN CERTIFICATE-----\n";
  const std::u16string longName(256, u'a');
  const struct {
    CasterOptions options;
    ConnectingMode mode;
    std::u16string problem;
  } cases[] = {
      {{{NtripVersion::k1, true, ""}, u"", 0},
       kRover,
       u"TLS is NTRIP 2's: choose NTRIP version 2 for it."},
      {{{NtripVersion::k2, true, "/nonexistent/ca.pem"}, u"", 0},
       kBase,
       u"CA file: cannot read /nonexistent/ca.pem (No such file or directory)."},
      {{{NtripVersion::k2, true, ca}, u"", 0}, kBase, u""},
      {{{}, longName, 0},
       kBase,
       u"The user name is too long: it may take at most 255 bytes (a letter with an accent "
       u"takes two, other characters up to four)."},
      {{{}, u"", 3601}, kBase, u""},
      {{{}, longName, 0}, kRover, u""},
      {{{}, u"", 3601}, kRover, u"GGA every: 1 to 3600 seconds."},
      {{{}, u"", -1}, kRover, u"GGA every: 1 to 3600 seconds."},
      {{{}, u"", 3600}, kRover, u""},
  };
  for (auto c : cases) {
    EXPECT_EQ(CasterOptionsProblem(c.options, c.mode), c.problem) << c.options.ggaSeconds;
  }
}

// The protocol goes with the caster into its history entry; each mode takes only its own value.
TEST(CasterOptionsTest, ApplyingSetsTheCastersProtocolAndTheModesOwnValue) {
  const CasterOptions options{{NtripVersion::k2, true, "/etc/ca.pem"}, u"source-user", 5};
  for (const ConnectingMode mode : {kRover, kBase}) {
    SettingsRecord record;
    record.hostCount = 2;
    SetFieldText(record.hosts[1].address, u"caster.example");
    SetFieldText(record.address, u"caster.example");
    SetFieldText(record.userName, u"rover-user");
    ApplyCasterOptions(options, mode, record);
    EXPECT_EQ(record.protocol, options.protocol);
    EXPECT_EQ(record.hosts[1].protocol, options.protocol);
    EXPECT_EQ(record.hosts[0].protocol, CasterProtocol{});
    EXPECT_EQ(FieldText(record.userName), mode == kBase ? u"source-user" : u"rover-user");
    EXPECT_EQ(record.upstream.ggaSeconds, mode == kRover ? 5 : 0);
    const CasterOptions back = CasterOptionsOf(record);
    EXPECT_EQ(std::tie(back.protocol, back.ggaSeconds),
              std::tie(record.protocol, record.upstream.ggaSeconds));
  }
  const std::pair<CasterProtocol, std::u16string_view> texts[] = {
      {{}, u"NTRIP 1"},
      {{NtripVersion::k2, false, ""}, u"NTRIP 2"},
      {{NtripVersion::k2, true, ""}, u"NTRIP 2 over TLS"},
      {{NtripVersion::k2, true, "/etc/ca.pem"}, u"NTRIP 2 over TLS, verified with /etc/ca.pem"},
  };
  for (const auto& [protocol, text] : texts) EXPECT_EQ(ProtocolText(protocol), text);
}

}  // namespace
}  // namespace quillon
