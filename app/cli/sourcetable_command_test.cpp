#include "app/cli/sourcetable_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/strings.h"
#include "ntrip/demo_caster.h"
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"

namespace quillon::cli {
namespace {

using testing::HookedClock;
using testing::RecordingMessageSink;

// Runs the command and returns its exit status; `out` receives what it printed.
int RunCommand(const Arguments& args, RecordingMessageSink& sink, std::string& out) {
  std::FILE* file = std::tmpfile();
  HookedClock clock;
  const int status = RunSourceTable(args, file, sink, clock);
  std::rewind(file);
  out.clear();
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) out.push_back(static_cast<char>(c));
  std::fclose(file);
  return status;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(SourceTableCommand, ListsTheMountPointsAlsoWhenOnlyTheFallbackIsAnswered) {
  DemoCasterConfig config;
  config.sourceTable = MakeSourceTable({"ZULU", "ALPHA"});
  DemoCaster caster(config);
  caster.Script(CasterBehaviour::kNotFound);
  RecordingMessageSink sink;
  std::string out;
  EXPECT_EQ(RunCommand({"sourcetable", "127.0.0.1:" + std::to_string(caster.Port())}, sink, out), 0);
  EXPECT_EQ(out, "ZULU\nALPHA\n");
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_EQ(caster.ConnectionCount(), 2u);
}

// Every stream, whatever the table's size or the names' length, and nothing that could drive
// the user's terminal.
TEST(SourceTableCommand, ListsEveryStreamWithControlCharactersReplaced) {
  std::vector<std::string> names = NumberedMountPoints(300);
  names.push_back("A_NAME_OF_TWENTY_FIVE_CHR");
  names.push_back("\x1b[2J\x1b[31mRED\x07");
  DemoCasterConfig config;
  config.sourceTable = MakeSourceTable(names);
  DemoCaster caster(config);
  RecordingMessageSink sink;
  std::string out;
  ASSERT_EQ(RunCommand({"sourcetable", "127.0.0.1:" + std::to_string(caster.Port())}, sink, out),
            0);
  names.back() = "?[2J?[31mRED?";
  EXPECT_EQ(Lines(out), names);
}

TEST(SourceTableCommand, LongListingAlignsTheFieldsOfEveryRecord) {
  StrFields swiss;
  swiss.identifier = "Zürich";
  swiss.country = "CHE";
  StrFields hostile;
  hostile.identifier = "\x1b[31mred";
  DemoCasterConfig config;
  config.sourceTable = MakeStrRecord("VERY_LONG_MOUNTPOINT_NAME") + "\r\n" +
                       MakeStrRecord("ZH", swiss) + "\r\n" + MakeStrRecord("X", hostile) + "\r\n";
  DemoCaster caster(config);
  RecordingMessageSink sink;
  std::string out;
  ASSERT_EQ(RunCommand({"sourcetable", "--long", "127.0.0.1:" + std::to_string(caster.Port())}, sink,
                out),
            0);
  const auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("MOUNTPOINT", 0), 0u);
  // The long name is in the listing although it does not fit the name table.
  EXPECT_EQ(lines[1].rfind("VERY_LONG_MOUNTPOINT_NAME ", 0), 0u);
  // Columns start at the same character in every line; "ü" is two bytes but one character.
  const std::size_t country = lines[0].find("COUNTRY");
  EXPECT_EQ(lines[1].find("DEU"), country);
  EXPECT_EQ(lines[2].find("CHE"), country + 1);
  EXPECT_EQ(lines[3].find("?[31mred"), lines[0].find("IDENTIFIER"));
  const std::size_t bitrate = lines[0].find("BITRATE");
  EXPECT_EQ(lines[1].substr(bitrate), StrFields{}.bitrate);
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
  DemoCasterConfig config;
  config.sourceTable = MakeStrRecord("NORTH", at("1.00", "0.00")) + "\r\n" +
                       MakeStrRecord("NOWHERE", at("", "")) + "\r\n" +
                       MakeStrRecord("HERE", quoted) + "\r\n" +
                       MakeStrRecord("WEST", at("0.00", "358.00")) + "\r\n";
  DemoCaster caster(config);
  const std::string target = "127.0.0.1:" + std::to_string(caster.Port());
  RecordingMessageSink sink;
  std::string out;
  // A degree of a great circle is 6371 km * pi / 180 = 111.2 km; 358 degrees east is 2 west.
  ASSERT_EQ(RunCommand({"sourcetable", target, "--near", "0,0"}, sink, out), 0);
  EXPECT_EQ(out, "HERE     0.0 km\nNORTH    111.2 km\nWEST     222.4 km\nNOWHERE  -\n");
  ASSERT_EQ(RunCommand({"sourcetable", target, "--near", "0,0", "--limit", "2"}, sink, out), 0);
  EXPECT_EQ(out, "HERE   0.0 km\nNORTH  111.2 km\n");

  ASSERT_EQ(RunCommand({"sourcetable", target, "--format", "json", "--near", "0,0", "--limit", "1"},
                       sink, out),
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

TEST(SourceTableCommand, BadInputAndFailuresExitWithAMessage) {
  struct Case {
    Arguments args;
    int status;
    std::u16string message;  // empty: none expected
  };
  const std::vector<Case> cases = {
      {{"sourcetable"}, 2, u""},
      {{"sourcetable", "127.0.0.1", "--wide"}, 2, u""},
      {{"sourcetable", "127.0.0.1", "--near", "91,0"}, 2, u""},
      {{"sourcetable", "127.0.0.1", "--near"}, 2, u""},
      {{"sourcetable", "127.0.0.1", "--limit", "0"}, 2, u""},
      {{"sourcetable", "127.0.0.1", "--format", "xml"}, 2, u""},
      {{"sourcetable", "127.0.0.1:0"}, 1, LoadString(kStrPortInvalid)},
      {{"sourcetable", "127.0.0.1:21o1"}, 1, LoadString(kStrPortInvalid)},
      {{"sourcetable", ":2101"}, 1, LoadString(kStrAddressEmpty)},
      {{"sourcetable", "192.168.1.300"}, 1, u"Does not appear to be a valid address?"},
  };
  for (const auto& c : cases) {
    RecordingMessageSink sink;
    std::string out;
    EXPECT_EQ(RunCommand(c.args, sink, out), c.status) << c.args.back();
    EXPECT_EQ(out, "");
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u) << c.args.back();
    if (!boxes.empty()) {
      EXPECT_EQ(boxes[0].text, c.message);
    }
  }
}

}  // namespace
}  // namespace quillon::cli
