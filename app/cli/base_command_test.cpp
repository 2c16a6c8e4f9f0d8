#include "app/cli/base_command.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

#include "app/cli/command_test_fixture.h"
#include "app/cli/stop_signals.h"
#include "base/base_session.h"
#include "base/base_settings.h"
#include "common/format.h"
#include "common/strings.h"
#include "common/utf8.h"

namespace quillon::cli {
namespace {

class BaseCommandTest : public CommandFixture {
 protected:
  BaseCommandTest() : CommandFixture(RunBaseCommand) {}
};

TEST(BaseSessionState, WaitsToRetryWithTheStatusTextOnOneLineWhileThereIsOne) {
  BaseStatus status;
  status.running.store(1);
  status.attempt = 3;
  status.connected = true;  // a status text still wins
  const std::u16string retry = LoadString(kStrRetryCountdown);
  const std::pair<std::u16string, std::string> cases[] = {
      {FormatText(retry, {std::int64_t{3}, std::int64_t{15}, std::int64_t{42},
                          std::u16string_view(LoadString(kStrCredentialsRejected))}),
       "Retry attempt 3/15 in 42 seconds. Authentication credentials were rejected or ignored."},
      // Without a reason: no trailing space.
      {FormatText(retry, {std::int64_t{1}, std::int64_t{15}, std::int64_t{60}, u""}),
       "Retry attempt 1/15 in 60 seconds."},
      // A line that ends in a space before its break is not doubled.
      {FormatText(LoadString(kStrConnectionError), {u"Connection refused"}),
       "Connection Error: Could not create connection to server. Reason:Connection refused"},
      {u"M\u00fcnchen \u2013 caf\u00e9", "M\xc3\xbcnchen \xe2\x80\x93 caf\xc3\xa9"},
  };
  for (const auto& [text, line] : cases) {
    status.SetStatusText(text);
    const SessionState state = BaseSessionState(status);
    EXPECT_EQ(state.phase, SessionPhase::kWaitingToRetry);
    EXPECT_EQ(state.attempt, 3);
    EXPECT_EQ(state.retryText, line);
  }
  status.SetStatusText(u"");
  status.receiverLost = true;
  EXPECT_EQ(BaseSessionState(status).phase, SessionPhase::kReceiverLost);
}

// With --also, every caster by its name: uploading with its rate and what it dropped, retrying
// with its countdown, or given up with its reason; a log gets a line when one changes.
TEST(BaseSessionState, ShowsEachCasterWhereTheUserLooks) {
  BaseCommandStatus status;
  status.primaryName = "rtk2go.com";
  status.running.store(1);
  status.connected = true;
  status.rate = 100;
  ExtraCasterSession& slow = status.extras.emplace_back();
  slow.name = "b.conf";
  slow.status.running.store(1);
  slow.status.connected = true;
  slow.status.dropped = 4096;
  ExtraCasterSession& refused = status.extras.emplace_back();
  refused.name = "c.conf";
  refused.status.SetStatusText(LoadString(kStrCredentialsRejected));
  refused.status.error.store(1);  // running 0: it has given up
  std::FILE* terminal = std::tmpfile();
  std::FILE* log = std::tmpfile();
  SessionReporter live({terminal, true}, "Uploading");
  SessionReporter logged({log, false}, "Uploading");
  for (const std::uint32_t now : {0u, 1000u}) {
    live.Report(BaseSessionState(status), now, now);
    logged.Report(BaseSessionState(status), now, now);
  }
  const std::string casters =
      "rtk2go.com: uploading 100 B/s | b.conf: uploading 0 B/s, 4096 bytes dropped | c.conf: gave "
      "up: Authentication credentials were rejected or ignored.";
  EXPECT_EQ(Lines(Contents(terminal)).back(), "00:00:00 100 B/s 0 bytes | " + casters);
  EXPECT_EQ(Lines(Contents(log)),
            (std::vector<std::string>{"rtk2go.com: uploading 100 B/s",
                                      "b.conf: uploading 0 B/s, 4096 bytes dropped",
                                      "c.conf: gave up: Authentication credentials were rejected "
                                      "or ignored.",
                                      "Connected to the caster."}));
  for (std::FILE* file : {terminal, log}) std::fclose(file);
}

TEST_F(BaseCommandTest, UploadsPrintsCountersSavesTheCasterAndStopsCleanly) {
  receiver.Emit("$GPGGA,corrections");
  const std::string log = (folder.Path() / "raw.log").string();
  Launch(SessionArgs({"--log", log}));
  ASSERT_TRUE(caster.WaitForUploaded(18, std::chrono::seconds(20)));
  EXPECT_TRUE(WaitForOutputLine(" 18 bytes"));
  AskToStop();
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(caster.Uploaded(), "$GPGGA,corrections");
  std::ifstream logged(log);  // what was read from the receiver, beside the upload
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(logged), {}), "$GPGGA,corrections");
  // Logged, not live: the last line tells how the session ended.
  EXPECT_TRUE(std::regex_match(Lines(Contents(out_)).back(),
                               std::regex(R"(Stopped \(connected \d\d:\d\d:\d\d, 18 bytes\)\.)")));
  EXPECT_EQ(Contents(err_), "");
  const BaseSettings saved = Saved<BaseSettings>();
  EXPECT_EQ(FieldText(saved.comPortName),
            std::u16string(receiver.DevicePath().begin(), receiver.DevicePath().end()) + u":");
  ASSERT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.hosts[0].password), u"demo");
}

// `quillon base ... | head -n 1`: a closed pipe stops the session as Ctrl+C does, not SIGPIPE.
TEST_F(BaseCommandTest, AReaderOfTheOutputThatGoesAwayStopsTheSessionCleanly) {
  const StopSignals signals;  // as the process's `quillon base`
  RecordingNotifier service(&clock);
  notifier_ = &service;
  int lines[2];
  ASSERT_EQ(pipe(lines), 0);
  std::fclose(out_);
  out_ = fdopen(lines[1], "w");
  Launch(SessionArgs());
  std::string first;
  for (char c = 0; read(lines[0], &c, 1) == 1 && c != '\n';) first += c;
  EXPECT_EQ(first, "Connecting to the caster.");
  close(lines[0]);
  const bool endedByItself = EndsByItself();
  EXPECT_EQ(Finish(), 0);  // joined before the notifier goes
  ASSERT_TRUE(endedByItself);
  ASSERT_EQ(caster.ConnectionCount(), 1u);
  EXPECT_TRUE(caster.WaitForClosed(0, std::chrono::seconds(20)));
  const auto stopping = std::find(service.sent.begin(), service.sent.end(), "STOPPING=1");
  ASSERT_NE(stopping, service.sent.end());
  // The Disconnect's 4 s and 1 s came after it.
  EXPECT_GE(clock.Elapsed() - service.at[stopping - service.sent.begin()], 5000u);
  EXPECT_EQ(Contents(err_), "");
}

// Saved before the checks, as Connect does, with the NTRIP 2 user name the dialog has no box for.
TEST_F(BaseCommandTest, SettingsTheDialogWouldRefuseAreRefusedButStillSaved) {
  std::ofstream(folder.Path() / "password") << "p w\n";
  const std::pair<Arguments, std::string> cases[] = {
      {{"--ntrip", "1"}, "Error: " + ToUtf8(LoadString(kStrSourcePasswordBlank)) + "\n"},
      {{"--caster", ":2101"}, "Error: Address is empty.\n"},
      {{"--device", ""}, "Error: There is no COM port selected?\n"},
      {{"--device", "BLUETOOTH", "--user", "base-7", "--ntrip", "2"},
       "Error: Bluetooth is not available on this system.\n"},
  };
  for (const auto& [extra, message] : cases) {
    EXPECT_EQ(Run(SessionArgs(extra)), 1);
    EXPECT_EQ(Contents(err_), message);
    EXPECT_EQ(FieldText(Saved<BaseSettings>().comPortName).empty(), extra[1].empty()) << message;
  }
  const BaseSettings saved = Saved<BaseSettings>();
  EXPECT_EQ(FieldText(saved.mountPoint), u"DEMO");
  EXPECT_EQ(FieldText(saved.userName), u"base-7");
  EXPECT_EQ(saved.protocol.version, NtripVersion::k2);
  EXPECT_EQ(saved.noAuthentication, 0);
  EXPECT_EQ(caster.ConnectionCount(), 0u);
}

}  // namespace
}  // namespace quillon::cli
