#include "app/cli/sourcetable_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"

namespace quillon::cli {
namespace {

using testing::RecordingMessageSink;

// `quillon sourcetable <words>` ("@": `caster`); what it printed in `out`.
int RunCommand(const DemoCaster& caster, const Arguments& words, RecordingMessageSink& sink,
               std::string& out, const std::optional<std::string>& environmentPassword = {},
               int stopFd = -1) {
  Arguments args = {"sourcetable"};
  for (const std::string& word : words) {
    args.push_back(word == "@" ? "127.0.0.1:" + std::to_string(caster.Port()) : word);
  }
  std::FILE* file = std::tmpfile();
  testing::HookedClock clock;
  const int status = RunSourceTable(args, file, sink, clock, environmentPassword, stopFd);
  out = Contents(file);
  std::fclose(file);
  return status;
}

DemoCasterConfig WithTable(std::string table) {
  DemoCasterConfig config;
  config.sourceTable = std::move(table);
  return config;
}

// Nothing that could drive a terminal; a 50,000-character field is cut to its column's 40.
TEST(SourceTableCommand, ListsEveryStreamSafelyAndAlignsTheLongListingInColumnsOfAtMost40) {
  StrFields swiss;
  swiss.identifier = "Zürich";
  swiss.country = "CHE";
  StrFields hostile;
  hostile.identifier = "\x1b[31mred";
  const std::string huge(50'000, 'H');
  const std::string table = MakeStrRecord("VERY_LONG_MOUNTPOINT_NAME") + "\r\n" +
                            MakeStrRecord("ZH", swiss) + "\r\n" +
                            MakeStrRecord("\x1b[2JX\x07", hostile) + "\r\n" + MakeStrRecord(huge) +
                            "\r\n" + MakeSourceTable(NumberedMountPoints(2000));
  DemoCaster caster(WithTable(table));
  RecordingMessageSink sink;
  std::string out;
  ASSERT_EQ(RunCommand(caster, {"@"}, sink, out), 0);
  const auto names = Lines(out);
  ASSERT_EQ(names.size(), 2004u);
  EXPECT_TRUE(names[2] == "?[2JX?" && names[3] == huge && names.back() == "MP1999");
  ASSERT_EQ(RunCommand(caster, {"@", "--long"}, sink, out), 0);
  EXPECT_LT(out.size(), 2 * table.size());
  const auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 2005u);
  // Columns start at the same character in every line ("ü" is two bytes but one character).
  EXPECT_TRUE(lines[1].starts_with("VERY_LONG_MOUNTPOINT_NAME "));
  const std::size_t country = lines[0].find("COUNTRY");
  EXPECT_EQ(lines[1].find("DEU"), country);
  EXPECT_EQ(lines[2].find("CHE"), country + 1);
  EXPECT_EQ(lines[3].find("?[31mred"), lines[0].find("IDENTIFIER"));
  EXPECT_EQ(lines[1].substr(lines[0].find("BITRATE")), StrFields{}.bitrate);
  EXPECT_TRUE(lines[4].starts_with(std::string(37, 'H') + "...  Identifier"));
  ASSERT_EQ(RunCommand(caster, {"@", "--near", "0,0"}, sink, out), 0);
  EXPECT_LT(out.size(), table.size());
  EXPECT_TRUE(Lines(out).at(3).starts_with(std::string(37, 'H') + "...  "));
  EXPECT_TRUE(sink.Boxes().empty());
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
  ASSERT_EQ(RunCommand(caster, {"@", "--near", "0,0"}, sink, out), 0);
  EXPECT_EQ(out, "HERE     0.0 km\nNORTH    111.2 km\nWEST     222.4 km\nNOWHERE  -\n");
  ASSERT_EQ(RunCommand(caster, {"@", "--near", "0,0", "--limit", "2"}, sink, out), 0);
  EXPECT_EQ(out, "HERE   0.0 km\nNORTH  111.2 km\n");
  ASSERT_EQ(
      RunCommand(caster, {"@", "--format", "json", "--near", "0,0", "--limit", "1"}, sink, out), 0);
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

// Empty rows padded to one wide row's columns are cut before 16 times the table's size.
TEST(SourceTableCommand, AListingThatCannotBeWholeSaysHowFarItCame) {
  RecordingMessageSink sink;
  std::string out;
  DemoCaster cut(WithTable(MakeSourceTable({"ALPHA", "BRAVO"}) + "STR;CHARL"));
  cut.Script(CasterBehaviour::kTableCut);
  EXPECT_EQ(RunCommand(cut, {"@"}, sink, out), 1);
  EXPECT_EQ(out, "ALPHA\nBRAVO\n");
  EXPECT_EQ(cut.ConnectionCount(), 1u);
  const std::string w(40, 'w');
  std::string table = MakeStrRecord(w, {w, w, w, w, w, w, w, w, w, w, w, w, w, w, w, w}) + "\r\n";
  for (int i = 0; i < 5000; ++i) {
    table += MakeStrRecord("", {"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "1"});
    table += "\r\n";
  }
  DemoCaster wide(WithTable(table));
  EXPECT_EQ(RunCommand(wide, {"@", "--long"}, sink, out), 1);
  EXPECT_LE(out.size(), 16 * (table.size() + 1024) + 64 * 1024);
  const auto boxes = sink.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            u"The caster closed the connection before the end of its source table. 2 streams "
            u"arrived.");
  EXPECT_TRUE(boxes[1].text.starts_with(u"The listing was cut after ") &&
              boxes[1].text.ends_with(u" of 5001 streams: its columns would have made it more "
                                      u"than 16 times the size of the table."));
}

// Checked before anything is sent; version 1 asks the fallback once more with the same login.
TEST(SourceTableCommand, OptionsAndALoginAreCheckedBeforeTheLoginGoesOut) {
  testing::TempFolder folder;
  const std::string file = (folder.Path() / "password").string();
  std::ofstream(file) << "demo\n";
  const std::string wrong = (folder.Path() / "wrong").string();
  std::ofstream(wrong) << "wrong\n";
  const std::string longLine = (folder.Path() / "long").string();
  std::ofstream(longLine) << std::string(256, 'p') << "\n";
  const std::string fifo = (folder.Path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::u16string needsLogin =
      u"The caster's source table needs a login (a user name and password).";
  const std::u16string refused =
      u"The caster refused the user name and password for its source table.";
  std::string longestUser = "u";  // 255 bytes, "é" counting two
  while (longestUser.size() < kMaxCredentialBytes) longestUser += "é";
  const std::string longestPassword(kMaxCredentialBytes, 'p');
  const std::optional<std::string> none;
  const struct {
    Arguments options;
    int status;
    std::u16string message;  // the box of a failure (status 1)
    std::size_t connections = 0;
    std::optional<std::string> environmentPassword = "demo";
  } cases[] = {
      {{"@", "--user", "demo", "--password-file", file}, 0, u"", 1, "wrong"},
      {{"@", "--user", "demo"}, 0, u"", 1},
      {{"@", "--user", "demo", "--ntrip", "2"}, 0, u"", 1},
      // Without --user the environment's password stays at home.
      {{"@"}, 1, needsLogin, 2},
      {{"@", "--ntrip", "2"}, 1, needsLogin, 1},
      {{"@", "--user", "demo", "--password-file", wrong}, 1, refused, 2, none},
      {{"@", "--user", longestUser}, 1, refused, 2, longestPassword},
      {{"@", "--user", longestUser + "u"}, 2, u""},
      {{"@", "--user", "u", "--password-file", longLine}, 2, u"", 0, none},
      {{"@", "--password-file", longLine}, 2, u""},
      {{"@", "--user"}, 2, u""},
      {{"@", "--user", "demo", "--password-file", fifo}, kExitStoppedBeforeStart, u"", 0, none},
      {{}, 2, u""},
      {{"@", "--wide"}, 2, u""},
      {{"@", "--near", "91,0"}, 2, u""},
      {{"@", "--limit", "0"}, 2, u""},
      {{"127.0.0.1:0"}, 1, LoadString(kStrPortInvalid)},
      {{"127.0.0.1:21o1"}, 1, LoadString(kStrPortInvalid)},
      {{":2101"}, 1, LoadString(kStrAddressEmpty)},
      {{"ca\nster.example.net"}, 2, u""},
      {{"@", "--ntrip", "1", "--tls"}, 2, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    DemoCasterConfig config = WithTable(MakeSourceTable({"SECRET"}));
    config.tableNeedsLogin = true;
    DemoCaster caster(config);
    RecordingMessageSink sink;
    std::string out;
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    // The user asks to stop while the pipe awaits its writer.
    ASSERT_EQ(c.status == kExitStoppedBeforeStart ? write(stop[1], "x", 1) : 1, 1);
    EXPECT_EQ(RunCommand(caster, c.options, sink, out, c.environmentPassword, stop[0]), c.status);
    close(stop[0]);
    close(stop[1]);
    EXPECT_EQ(out, c.status == 0 ? "SECRET\n" : "");
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
    EXPECT_EQ(boxes.empty() ? u"" : boxes[0].text, c.message);
    ASSERT_EQ(caster.ConnectionCount(), c.connections);
    const bool login = std::count(c.options.begin(), c.options.end(), "--user") == 1;
    for (std::size_t i = 0; i < c.connections; ++i) {
      EXPECT_EQ(caster.RequestText(i).find("Authorization: Basic ") != std::string::npos, login);
    }
  }
}

}  // namespace
}  // namespace quillon::cli
