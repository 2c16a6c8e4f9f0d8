// `quillon rover` end to end.
#include "app/cli/rover_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "app/cli/command_test_fixture.h"
#include "net/address.h"
#include "rover/rover_settings.h"
#include "testing/fake_bluetooth_lib.h"

namespace quillon::cli {
namespace {

namespace fs = std::filesystem;
using quillon::testing::FakeBluetoothLib;

class RoverCommandTest : public CommandFixture {
 protected:
  RoverCommandTest() : CommandFixture(RunRoverCommand) {}

  Arguments SessionArgs(Arguments extra = {}) const {
    extra.insert(extra.begin(), {"--user", "demo"});
    return CommandFixture::SessionArgs(extra);
  }
};

TEST_F(RoverCommandTest, RelaysPrintsStatusLinesSavesTheCasterAndStopsCleanly) {
  live_ = true;
  Launch(SessionArgs());
  ASSERT_TRUE(caster.WaitForLoggedInClients(1, std::chrono::seconds(20)));
  // Bytes that arrive while the login reply is read are not relayed: send until some get through.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!receiver.WaitForReceived(11, std::chrono::milliseconds(20))) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    ASSERT_EQ(caster.SendToClients("corrections"), 1);
  }
  // A status line counts every byte the receiver got.
  EXPECT_TRUE(WaitForOutputLine(
      [&] { return " " + std::to_string(receiver.Received().size()) + " bytes"; }));
  AskToStop();
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(receiver.Received().size() % 11, 0u);
  EXPECT_EQ(receiver.Received().substr(0, 11), "corrections");
  for (const std::string& line : Lines(Contents(out_))) {
    EXPECT_TRUE(std::regex_match(line, kCountersLine)) << line;
  }
  EXPECT_EQ(Contents(err_), "");
  // Made private: the settings hold passwords.
  EXPECT_EQ(fs::status(folder.Path() / "cfg").permissions(), fs::perms::owner_all);
  const RoverSettings saved = Saved<RoverSettings>();
  ASSERT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.hosts[0].address), u"127.0.0.1");
  EXPECT_EQ(FieldText(saved.hosts[0].password), u"demo");
}

// The dialog's message, then a line with what really happened; the named Bluetooth port is used.
TEST_F(RoverCommandTest, ASessionThatGivesUpExitsOneWithTheMessageOnStandardError) {
  FakeBluetoothLib library(clock);
  library.SetDevices({{u"one"}, {u"two"}});
  library.SelectDevice(1);
  library.SetOpenSucceeds(false, "Bluetooth: Host is down.");
  bluetooth_ = &library;
  const struct {
    Arguments extra;
    std::string password;
    std::string err;
  } cases[] = {
      {{},
       "wrong",
       "Error: Authentication credentials were rejected or ignored.\n"
       "The caster answered with its source table: the mount point does not exist there.\n"},
      {{"--caster", "nowhere.invalid:2101"},
       "demo",
       "Error: Connection Error: Could not create connection to server. \nReason:" +
           LookUpHostName("nowhere.invalid").problem +
           "\nThe host name \"nowhere.invalid\" did not resolve.\n"},
      {{"--device", "BLUETOOTH", "--bt-device", "one", "--bt-port", "1"},
       "demo",
       "Error: Unable to open COM Port.\nBluetooth: Host is down.\n"},
  };
  for (const auto& c : cases) {
    std::ofstream(folder.Path() / "password") << c.password << "\n";
    EXPECT_EQ(Run(SessionArgs(c.extra)), 1);
    EXPECT_EQ(Contents(err_), c.err);
    EXPECT_EQ(Lines(Contents(out_)).back(), "Gave up (connected 00:00:00, 0 bytes).");
  }
  EXPECT_GE(library.CountCalls("Open(0,1)"), 1u);
  EXPECT_EQ(library.SelectedDevice(), 0);
}

// A settings file of noise loads sane; its port reads as 0, which Connect refuses.
TEST_F(RoverCommandTest, ASettingsFileOfNoiseStillLogsInAndIsSavedSane) {
  fs::create_directory(folder.Path() / "cfg");
  fs::copy_file(fs::path(QUILLON_SETTINGS_TESTDATA) / "random.bin",
                folder.Path() / "cfg" / "ntripinfo.bin");
  Arguments noPort = SessionArgs();
  noPort[1] = "127.0.0.1";  // the caster without its port
  EXPECT_EQ(Run(noPort), 1);
  EXPECT_EQ(Contents(err_), "Error: Port number appears to be invalid?\n");
  EXPECT_EQ(FieldText(Saved<RoverSettings>().mountPoint), u"DEMO");  // saved before the checks
  Launch(SessionArgs());
  ASSERT_TRUE(caster.WaitForLoggedInClients(1, std::chrono::seconds(20)));
  AskToStop();
  EXPECT_EQ(Finish(), 0);
  const RoverSettings saved = Saved<RoverSettings>();
  EXPECT_EQ(saved.noAuthentication, 0);
  EXPECT_EQ(saved.baudIndex, 1);
  EXPECT_EQ(saved.overrideEnabled.load(), 0);
}

// Ctrl+C while the password's named pipe waits for a writer ends the command at once, before
// anything is saved or connected.
TEST_F(RoverCommandTest, AStopWhileThePasswordPipeAwaitsItsWriterEndsTheCommandAtOnce) {
  const fs::path fifo = folder.Path() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Arguments args = SessionArgs();
  *(std::find(args.begin(), args.end(), "--password-file") + 1) = fifo.string();
  AskToStop();
  EXPECT_EQ(Run(args), kExitStoppedBeforeStart);
  EXPECT_EQ(clock.Elapsed(), 0u);
  EXPECT_EQ(Contents(err_), "");
  EXPECT_FALSE(fs::exists(folder.Path() / "cfg"));
  EXPECT_EQ(caster.ConnectionCount(), 0u);
}

TEST_F(RoverCommandTest, OptionsItCannotUseChangeNothing) {
  const auto shared = folder.Path() / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
  const std::pair<Arguments, std::string> cases[] = {
      {{"--caster", "127.0.0.1:0"}, "1 to 65535"},
      {{"--settings-dir", shared.string()}, "can be written by other users"},
  };
  for (const auto& [extra, expected] : cases) {
    EXPECT_EQ(Run(SessionArgs(extra)), 2);
    EXPECT_NE(Contents(err_).find(expected), std::string::npos) << Contents(err_);
  }
  EXPECT_FALSE(fs::exists(folder.Path() / "cfg" / "ntripinfo.bin"));
  EXPECT_FALSE(fs::exists(shared / "ntripinfo.bin"));
  EXPECT_EQ(caster.ConnectionCount(), 0u);
}

}  // namespace
}  // namespace quillon::cli
