#include "app/cli/sourcetable_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/command_test_fixture.h"
#include "common/settings_record.h"
#include "common/strings.h"
#include "common/text.h"
#include "demo/demo_caster.h"
#include "ntrip/requests.h"
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"

namespace quillon::cli {
namespace {

using testing::RecordingMessageSink;

// `quillon sourcetable <caster> <options>`: the exit status, and in `out` what it printed.
int RunCommand(const DemoCaster* caster, const Arguments& options, RecordingMessageSink& sink,
               std::string& out, const std::optional<std::string>& environmentPassword = {}) {
  Arguments args = {"sourcetable"};
  if (caster != nullptr) args.push_back("127.0.0.1:" + std::to_string(caster->Port()));
  args.insert(args.end(), options.begin(), options.end());
  std::FILE* file = std::tmpfile();
  testing::HookedClock clock;
  const int status = RunSourceTable(args, file, sink, clock, environmentPassword);
  out = Contents(file);
  std::fclose(file);
  return status;
}

std::string Repeated(std::string_view text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

DemoCasterConfig WithTable(std::string table) {
  DemoCasterConfig config;
  config.sourceTable = std::move(table);
  return config;
}

// Every stream, also from a fallback-only caster, and nothing that could drive a terminal.
TEST(SourceTableCommand, ListsEveryStreamWithControlCharactersReplaced) {
  std::vector<std::string> names = NumberedMountPoints(300);
  names.push_back("A_NAME_OF_TWENTY_FIVE_CHR");
  names.push_back("\x1b[2J\x1b[31mRED\x07");
  DemoCaster caster(WithTable(MakeSourceTable(names)));
  caster.Script(CasterBehaviour::kNotFound);
  RecordingMessageSink sink;
  std::string out;
  ASSERT_EQ(RunCommand(&caster, {}, sink, out), 0);
  names.back() = "?[2J?[31mRED?";
  EXPECT_EQ(Lines(out), names);
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_EQ(caster.ConnectionCount(), 2u);
}

TEST(SourceTableCommand, LongListingAlignsTheFieldsOfEveryRecord) {
  StrFields swiss;
  swiss.identifier = "Zürich";
  swiss.country = "CHE";
  StrFields hostile;
  hostile.identifier = "\x1b[31mred";
  DemoCaster caster(WithTable(MakeStrRecord("VERY_LONG_MOUNTPOINT_NAME") + "\r\n" +
                              MakeStrRecord("ZH", swiss) + "\r\n" + MakeStrRecord("X", hostile) +
                              "\r\n"));
  RecordingMessageSink sink;
  std::string out;
  ASSERT_EQ(RunCommand(&caster, {"--long"}, sink, out), 0);
  const auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 4u);
  // Columns start at the same character in every line ("ü" is two bytes but one character).
  EXPECT_TRUE(lines[1].starts_with("VERY_LONG_MOUNTPOINT_NAME "));
  const std::size_t country = lines[0].find("COUNTRY");
  EXPECT_EQ(lines[1].find("DEU"), country);
  EXPECT_EQ(lines[2].find("CHE"), country + 1);
  EXPECT_EQ(lines[3].find("?[31mred"), lines[0].find("IDENTIFIER"));
  EXPECT_EQ(lines[1].substr(lines[0].find("BITRATE")), StrFields{}.bitrate);
}

// The nearest base first, as a user in the field looks for it; streams without a position last.
TEST(SourceTableCommand, NearSortsByDistanceLimitKeepsTheFirstAndJsonNamesEveryField) {
  const auto at = [](const char* latitude, const char* longitude) {
    StrFields fields;
    fields.latitude = latitude;
    fields.longitude = longitude;
    return fields;
  };
  StrFields quoted = at("0.00", "0.00");
  quoted.identifier = "say \"hi\" \\";
  DemoCaster caster(WithTable(MakeStrRecord("NORTH", at("1.00", "0.00")) + "\r\n" +
                              MakeStrRecord("NOWHERE", at("", "")) + "\r\n" +
                              MakeStrRecord("HERE", quoted) + "\r\n" +
                              MakeStrRecord("WEST", at("0.00", "358.00")) + "\r\n"));
  RecordingMessageSink sink;
  std::string out;
  // A degree of a great circle is 6371 km * pi / 180 = 111.2 km; 358 degrees east is 2 west.
  ASSERT_EQ(RunCommand(&caster, {"--near", "0,0"}, sink, out), 0);
  EXPECT_EQ(out, "HERE     0.0 km\nNORTH    111.2 km\nWEST     222.4 km\nNOWHERE  -\n");
  ASSERT_EQ(RunCommand(&caster, {"--near", "0,0", "--limit", "2"}, sink, out), 0);
  EXPECT_EQ(out, "HERE   0.0 km\nNORTH  111.2 km\n");
  ASSERT_EQ(RunCommand(&caster, {"--format", "json", "--near", "0,0", "--limit", "1"}, sink, out),
            0);
  EXPECT_EQ(
      out,
      "[\n  {\"mountpoint\": \"HERE\", \"identifier\": \"say \\\"hi\\\" \\\\\", "
      "\"format\": \"RTCM 3.2\", \"format_details\": \"1004(1),1006(10)\", \"carrier\": \"2\", "
      "\"nav_system\": \"GPS+GLO\", \"network\": \"NET\", \"country\": \"DEU\", "
      "\"latitude\": \"0.00\", \"longitude\": \"0.00\", \"nmea\": \"1\", \"solution\": \"0\", "
      "\"generator\": \"sNTRIP\", \"compression\": \"none\", \"authentication\": \"B\", "
      "\"fee\": \"N\", \"bitrate\": \"9600\", \"distance_km\": 0.0}\n]\n");
  EXPECT_TRUE(sink.Boxes().empty());
}

// What arrived is listed, one box says how many streams came, and the table is read once.
TEST(SourceTableCommand, ATableThatEndsBadlyIsListedAsFarAsItCameWithOneLine) {
  DemoCaster caster(WithTable(MakeSourceTable({"ALPHA", "BRAVO"}) + "STR;CHARL"));
  caster.Script(CasterBehaviour::kTableCut);
  RecordingMessageSink sink;
  std::string out;
  EXPECT_EQ(RunCommand(&caster, {}, sink, out), 1);
  EXPECT_EQ(out, "ALPHA\nBRAVO\n");
  const auto boxes = sink.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            u"The caster closed the connection before the end of its source table. 2 streams "
            u"arrived.");
  EXPECT_EQ(caster.ConnectionCount(), 1u);
}

// Credentials encoded with: printf 'demo:demo' | base64. A login that is not saved has the
// session options' limits (255 bytes, "é" counting two) and is checked before anything is sent.
TEST(SourceTableCommand, ALoginGoesOutAsBasicAuthorizationOnceItIsChecked) {
  testing::TempFolder folder;
  const std::string file = (folder.Path() / "password").string();
  std::ofstream(file) << "demo\n";
  const std::string wrong = (folder.Path() / "wrong").string();
  std::ofstream(wrong) << "wrong\n";
  const std::string longLine = (folder.Path() / "long").string();
  std::ofstream(longLine) << std::string(256, 'p') << "\n";
  const std::string needsLogin =
      "The caster's source table needs a login (a user name and password).";
  const std::string refused = "The caster refused the user name and password for its source table.";
  const struct {
    Arguments options;
    std::optional<std::string> environmentPassword;
    int status;
    std::string message;  // the box of a refusal (status 1)
  } cases[] = {
      {{"--user", "demo", "--password-file", file}, "wrong", 0, ""},
      {{"--user", "demo"}, "demo", 0, ""},
      // Without --user the environment's password stays at home.
      {{}, "demo", 1, needsLogin},
      {{"--user", "demo", "--password-file", wrong}, std::nullopt, 1, refused},
      {{"--user", Repeated("é", kMaxCredentialBytes / 2) + "u"},
       std::string(kMaxCredentialBytes, 'p'),
       1,
       refused},
      {{"--user", Repeated("é", kMaxCredentialBytes / 2 + 1)}, "demo", 2, ""},
      {{"--user", "u", "--password-file", longLine}, std::nullopt, 2, ""},
      {{"--password-file", longLine}, "demo", 2, ""},
      {{"--user"}, "demo", 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    DemoCasterConfig config = WithTable(MakeSourceTable({"SECRET"}));
    config.tableNeedsLogin = true;
    DemoCaster caster(config);
    RecordingMessageSink sink;
    std::string out;
    EXPECT_EQ(RunCommand(&caster, c.options, sink, out, c.environmentPassword), c.status);
    EXPECT_EQ(out, c.status == 0 ? "SECRET\n" : "");
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
    EXPECT_EQ(boxes.empty() ? u"" : boxes[0].text, EightBitToWide(c.message));
    EXPECT_EQ(caster.ConnectionCount() == 0, c.status == 2);
    if (c.status == 0) {
      EXPECT_EQ(caster.RequestText(0),
                "GET /SOURCETABLE HTTP/1.0\r\nAuthorization: Basic ZGVtbzpkZW1v\r\n\r\n");
    }
    if (c.status == 1) {
      EXPECT_EQ(caster.RequestText(0).starts_with(kSourceTableRequest), c.options.empty());
    }
  }
}

// "--ntrip 2" lists an NTRIP 2 caster's table from its one "GET /", as NTRIP 1 lists its own.
TEST(SourceTableCommand, NtripTwoAsksOnceWithTheVersionTwoRequest) {
  DemoCaster caster(WithTable(MakeSourceTable({"ALPHA", "BRAVO"})));
  RecordingMessageSink sink;
  std::string out;
  ASSERT_EQ(RunCommand(&caster, {"--ntrip", "2"}, sink, out), 0);
  EXPECT_EQ(Lines(out), (std::vector<std::string>{"ALPHA", "BRAVO"}));
  ASSERT_EQ(caster.ConnectionCount(), 1u);
  EXPECT_EQ(caster.RequestText(0),
            BuildVersion2SourceTableRequest({"127.0.0.1", caster.Port(), false}, std::nullopt));
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST(SourceTableCommand, BadInputAndFailuresExitWithAMessage) {
  const struct {
    Arguments args;
    int status;
    std::u16string message;  // empty: none expected
  } cases[] = {
      {{}, 2, u""},
      {{"127.0.0.1", "--wide"}, 2, u""},
      {{"127.0.0.1", "--near", "91,0"}, 2, u""},
      {{"127.0.0.1", "--limit", "0"}, 2, u""},
      {{"127.0.0.1:0"}, 1, LoadString(kStrPortInvalid)},
      {{"127.0.0.1:21o1"}, 1, LoadString(kStrPortInvalid)},
      {{":2101"}, 1, LoadString(kStrAddressEmpty)},
      {{"192.168.1.300"}, 1, u"Does not appear to be a valid address?"},
      {{"127.0.0.1", "--ntrip", "1", "--tls"}, 2, u""},
  };
  for (const auto& c : cases) {
    RecordingMessageSink sink;
    std::string out;
    EXPECT_EQ(RunCommand(nullptr, c.args, sink, out), c.status) << ::testing::PrintToString(c.args);
    EXPECT_EQ(out, "");
    const auto boxes = sink.Boxes();
    EXPECT_EQ(boxes.empty() ? u"" : boxes[0].text, c.message) << ::testing::PrintToString(c.args);
    EXPECT_LE(boxes.size(), 1u);
  }
}

}  // namespace
}  // namespace quillon::cli
