// `quillon base` end to end, and the line it prints each second.
#include "app/cli/base_command.h"

#include "app/cli/command_test_fixture.h"
#include "base/base_settings.h"
#include "common/format.h"
#include "common/strings.h"

namespace quillon::cli {
namespace {

class BaseCommandTest : public CommandFixture {
 protected:
  BaseCommandTest() : CommandFixture(RunBaseCommand) {}
};

TEST(BaseStatusLine, ShowsTheStatusTextOnOneLineWhileThereIsOne) {
  BaseStatus status;
  SessionSnapshot counters;
  counters.elapsed = "00:01:05";
  counters.rate = 11520;
  counters.total = 748800;
  EXPECT_EQ(BaseStatusLine(status, counters), "00:01:05 11520 B/s 748800 bytes");

  const std::u16string retry = LoadString(kStrRetryCountdown);
  const struct {
    std::u16string text;
    std::string line;
  } cases[] = {
      {FormatText(retry, {std::int64_t{3}, std::int64_t{15}, std::int64_t{42},
                          std::u16string_view(LoadString(kStrCredentialsRejected))}),
       "Retry attempt 3/15 in 42 seconds. Authentication credentials were rejected or ignored."},
      // No reason after an invalid address: no trailing space.
      {FormatText(retry, {std::int64_t{1}, std::int64_t{15}, std::int64_t{60}, u""}),
       "Retry attempt 1/15 in 60 seconds."},
      // A line that ends in a space before its break is not doubled.
      {FormatText(LoadString(kStrConnectionError), {u"Connection refused"}),
       "Connection Error: Could not create connection to server. Reason:Connection refused"},
      {u"M\u00fcnchen \u2013 caf\u00e9", "M\xc3\xbcnchen \xe2\x80\x93 caf\xc3\xa9"},
  };
  for (const auto& c : cases) {
    status.SetStatusText(c.text);
    EXPECT_EQ(BaseStatusLine(status, counters), c.line);
  }
}

TEST_F(BaseCommandTest, UploadsPrintsCountersSavesTheCasterAndStopsCleanly) {
  receiver.Emit("$GPGGA,corrections");
  Launch(SessionArgs());
  ASSERT_TRUE(caster.WaitForUploaded(18, std::chrono::seconds(20)));
  // A status line or two with the count.
  clock.Sleep(2000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  AskToStop();
  EXPECT_EQ(Finish(), 0);

  EXPECT_EQ(caster.Uploaded(), "$GPGGA,corrections");
  bool counted = false;
  const auto lines = Lines(Contents(out_));
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, kCountersLine)) << line;
    counted = counted || line.ends_with(" 18 bytes");
  }
  EXPECT_TRUE(counted);
  EXPECT_EQ(Contents(err_), "");

  BaseSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path() / "cfg"));
  EXPECT_EQ(FieldText(saved.mountPoint), u"DEMO");
  EXPECT_EQ(FieldText(saved.comPortName),
            std::u16string(receiver.DevicePath().begin(), receiver.DevicePath().end()) + u":");
  ASSERT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.hosts[0].address), u"127.0.0.1");
  EXPECT_EQ(FieldText(saved.hosts[0].password), u"demo");
}

TEST_F(BaseCommandTest, ARefusingCasterIsTriedFifteenTimesThenTheFinalMessageExitsOne) {
  std::ofstream(folder.Path() / "password") << "wrong\n";
  EXPECT_EQ(Run(SessionArgs()), 1);
  EXPECT_EQ(caster.ConnectionCount(), 15u);
  // The dialog's texts, and the caster's own reply on a line of its own.
  const std::string said = "The caster replied \"ERROR - Bad Password\".";
  EXPECT_EQ(Contents(err_),
            "Error: Could not re-connect to NTRIP Caster.\n\nElapsed Time: 00:00:00\n"
            "Reason: Authentication credentials were rejected or ignored.\n" +
                said + "\n");
  const std::regex retryLine(
      R"((Retry attempt \d+/15 in \d+ seconds\. )?Authentication credentials were rejected or ignored\.)");
  std::size_t told = 0;
  for (const std::string& line : Lines(Contents(out_))) {
    told += line == said;
    EXPECT_TRUE(std::regex_match(line, kCountersLine) || std::regex_match(line, retryLine) ||
                line == said)
        << line;
  }
  EXPECT_GE(told, 1u);
}

TEST_F(BaseCommandTest, SettingsTheDialogWouldRefuseAreRefusedButStillSaved) {
  Arguments args = SessionArgs();
  args.insert(args.end(), {"--caster", "127.0.0.1:0"});
  EXPECT_EQ(Run(args), 1);
  EXPECT_EQ(Contents(err_), "Error: Port number appears to be invalid?\n");
  BaseSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path() / "cfg"));
  EXPECT_EQ(saved.port, 0);
  EXPECT_EQ(caster.ConnectionCount(), 0u);
}

TEST_F(BaseCommandTest, RoverOnlyOptionsAreRefusedAndChangeNothing) {
  for (const Arguments& extra :
       {Arguments{"--user", "demo"}, Arguments{"--no-auth"}, Arguments{"--gga", "52.5,13.4"}}) {
    SCOPED_TRACE(extra.front());
    ClearErrors();
    Arguments args = SessionArgs();
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(Run(args), 2);
    EXPECT_EQ(Contents(err_), "quillon base: unknown option " + extra.front() + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "cfg" / "sourceinfo.bin"));
}

}  // namespace
}  // namespace quillon::cli
