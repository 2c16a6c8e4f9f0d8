// `quillon base` end to end, and the line it prints each second.
#include "app/cli/base_command.h"

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
  // Connected without a text, while the receiver's link is opened again.
  status.SetStatusText(u"");
  status.receiverLost = true;
  EXPECT_EQ(BaseSessionState(status).phase, SessionPhase::kReceiverLost);
}

TEST_F(BaseCommandTest, UploadsPrintsCountersSavesTheCasterAndStopsCleanly) {
  receiver.Emit("$GPGGA,corrections");
  Launch(SessionArgs());
  ASSERT_TRUE(caster.WaitForUploaded(18, std::chrono::seconds(20)));
  EXPECT_TRUE(WaitForOutputLine([] { return std::string(" 18 bytes"); }));
  AskToStop();
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(caster.Uploaded(), "$GPGGA,corrections");
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

// Notes the session clock's time when the service manager hears that the session stops.
struct StoppingNotedAt final : ServiceNotifier {
  explicit StoppingNotedAt(const quillon::testing::VirtualClock& c) : clock(c) {}
  void Notify(std::string_view state) override {
    if (state == "STOPPING=1") at.store(clock.Elapsed());
  }
  const quillon::testing::VirtualClock& clock;
  std::atomic<std::uint64_t> at{0};
};

// `quillon base ... | head -n 1`: the reader takes its line and goes; the next line finds the
// pipe closed, and the session stops as on Ctrl+C, the service manager told before the stop's
// waits, rather than being killed by SIGPIPE.
TEST_F(BaseCommandTest, AReaderOfTheOutputThatGoesAwayStopsTheSessionCleanly) {
  const StopSignals signals;  // as the process's `quillon base`
  StoppingNotedAt service(clock);
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
  const std::uint64_t end = clock.Elapsed();
  ASSERT_EQ(caster.ConnectionCount(), 1u);
  EXPECT_TRUE(caster.WaitForClosed(0, std::chrono::seconds(20)));
  ASSERT_GT(service.at.load(), 0u);
  EXPECT_GE(end - service.at.load(), 5000u);  // the Disconnect's 4 s and 1 s came after it
  EXPECT_EQ(Contents(err_), "");
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
  // The log samples the worker's virtual countdowns in real time: which lines it catches varies.
  const std::regex stateLine(
      R"(Connecting to the caster\.|Attempt \d+/15: connecting to the caster\.|)"
      R"((Retry attempt \d+/15 in \d+ seconds\. )?Authentication credentials were rejected or ignored\.)");
  const auto lines = Lines(Contents(out_));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "Gave up (connected 00:00:00, 0 bytes).");
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], stateLine) || lines[i] == said) << lines[i];
  }
}

// Every attempt's box says why, with the ports the system lists.
TEST_F(BaseCommandTest, AReceiverThatIsNotThereIsSaidWithThePortsFound) {
  devices_.AddSerialPort(u"/dev/ttyUSB0");
  EXPECT_EQ(Run(SessionArgs({"--device", "/dev/quillon-none"})), 1);
  const std::string box =
      "Error: Unable to open COM Port.\n/dev/quillon-none: No such file or directory.\nThe "
      "device is not there. Ports found: /dev/ttyUSB0.\n";
  std::string expected;
  for (int attempt = 0; attempt < kBaseAttempts; ++attempt) expected += box;
  EXPECT_TRUE(Contents(err_).starts_with(expected));
  EXPECT_EQ(caster.ConnectionCount(), 0u);
}

// The Base's NTRIP 2 user name goes into the record's user-name field, which the Base dialog
// keeps; the protocol is saved with the caster. Only the Base's version 1 request line carries
// the password.
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
