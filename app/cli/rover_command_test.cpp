// `quillon rover` end to end: against the in-process caster and a simulated receiver, on the
// virtual clock, stopped through its stop descriptor as a signal would.
#include "app/cli/rover_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "ntrip/demo_caster.h"
#include "ntrip/simulated_receiver.h"
#include "rover/rover_settings.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/temp_folder.h"
#include "testing/virtual_clock.h"

namespace quillon::cli {
namespace {

using quillon::testing::FakeBluetoothLib;
using quillon::testing::TempFolder;
using quillon::testing::VirtualClock;

std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

class RoverCommandTest : public ::testing::Test {
 protected:
  RoverCommandTest() {
    EXPECT_EQ(pipe(stopPipe_), 0);
    std::ofstream(folder.Path() / "password") << "demo\n";
  }
  ~RoverCommandTest() override {
    if (runner_.joinable()) {
      AskToStop();
      runner_.join();
    }
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    std::fclose(out_);
    std::fclose(err_);
  }

  Arguments SessionArgs() const {
    return {"--caster", "127.0.0.1:" + std::to_string(caster.Port()), "--mount", "DEMO",
            "--user", "demo", "--password-file", (folder.Path() / "password").string(),
            "--device", receiver.DevicePath(), "--settings-dir", (folder.Path() / "cfg").string()};
  }

  // Runs the command on its own thread, as main() would on the process's.
  void Launch(Arguments args) {
    runner_ = std::thread([this, args = std::move(args)] {
      exitCode_ = RunRoverCommand(args, {clock, out_, err_, bluetooth_, std::nullopt, stopPipe_[0]});
    });
  }
  int Run(Arguments args) {
    Launch(std::move(args));
    return Finish();
  }
  void AskToStop() { ASSERT_EQ(write(stopPipe_[1], "x", 1), 1); }
  int Finish() {
    runner_.join();
    return exitCode_;
  }

  VirtualClock clock{1000, 1'700'000'000, 20};
  TempFolder folder;
  DemoCaster caster;
  SimulatedReceiver receiver{clock};
  BluetoothLib* bluetooth_ = nullptr;
  std::FILE* out_ = std::tmpfile();
  std::FILE* err_ = std::tmpfile();
  int stopPipe_[2] = {-1, -1};
  std::thread runner_;
  int exitCode_ = -1;
};

TEST_F(RoverCommandTest, RelaysPrintsStatusLinesSavesTheCasterAndStopsCleanly) {
  Launch(SessionArgs());
  ASSERT_TRUE(caster.WaitForLoggedInClients(1, std::chrono::seconds(20)));
  // Bytes that arrive while the login reply is read are not relayed: send until some get through.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!receiver.WaitForReceived(11, std::chrono::milliseconds(20))) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    ASSERT_EQ(caster.SendToClients("corrections"), 1);
  }
  // A status line or two with the count.
  clock.Sleep(2000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  AskToStop();
  EXPECT_EQ(Finish(), 0);

  const std::string received = receiver.Received();
  EXPECT_EQ(received.size() % 11, 0u);
  EXPECT_EQ(received.substr(0, 11), "corrections");
  const std::string out = Contents(out_);
  std::istringstream lines(out);
  const std::regex format(R"(\d\d:\d\d:\d\d \d+ B/s \d+ bytes)");
  int seen = 0;
  bool counted = false;
  for (std::string line; std::getline(lines, line); ++seen) {
    EXPECT_TRUE(std::regex_match(line, format)) << line;
    counted = counted || line.find(" " + std::to_string(received.size()) + " bytes") != std::string::npos;
  }
  EXPECT_GT(seen, 0);
  EXPECT_TRUE(counted);
  EXPECT_EQ(Contents(err_), "");

  RoverSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path() / "cfg"));
  ASSERT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.hosts[0].address), u"127.0.0.1");
  EXPECT_EQ(FieldText(saved.hosts[0].password), u"demo");
}

TEST_F(RoverCommandTest, ASessionThatGivesUpExitsOneWithTheMessageOnStandardError) {
  std::ofstream(folder.Path() / "password") << "wrong\n";
  EXPECT_EQ(Run(SessionArgs()), 1);
  EXPECT_EQ(Contents(err_), "Error: Authentication credentials were rejected or ignored.\n");
}

TEST_F(RoverCommandTest, SettingsTheDialogWouldRefuseAreRefusedButStillSaved) {
  const std::pair<Arguments, std::string> cases[] = {
      {{"--caster", ":2101"}, "Error: Address is empty.\n"},
      {{"--device", ""}, "Error: There is no COM port selected?\n"},
      {{"--caster", "127.0.0.1:0"}, "Error: Port number appears to be invalid?\n"},
      {{"--device", "BLUETOOTH"}, "Error: Bluetooth is not available on this system.\n"},
  };
  for (const auto& [extra, message] : cases) {
    SCOPED_TRACE(message);
    std::fclose(err_);
    err_ = std::tmpfile();
    Arguments args = SessionArgs();
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(Run(args), 1);
    EXPECT_EQ(Contents(err_), message);
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "cfg" / "ntripinfo.bin"));
  }
  EXPECT_EQ(caster.ConnectionCount(), 0u);
}

TEST_F(RoverCommandTest, BluetoothUsesTheLibrarysSelectedDeviceAndChecksTheRadio) {
  FakeBluetoothLib library(clock);
  library.SetDevices({{u"one"}, {u"two"}});
  library.SelectDevice(1);
  bluetooth_ = &library;
  Arguments args = SessionArgs();
  args.insert(args.end(), {"--device", "BLUETOOTH"});

  library.SetRadioOn(false);
  EXPECT_EQ(Run(args), 1);
  EXPECT_EQ(Contents(err_),
            "Error: The bluetooth radio appears to be in the off state. Please turn on and try "
            "again.\n");

  library.SetRadioOn(true);
  Launch(args);
  ASSERT_TRUE(caster.WaitForLoggedInClients(1, std::chrono::seconds(20)));
  AskToStop();
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(library.CountCalls("Open(1,1)"), 1u);
}

TEST_F(RoverCommandTest, OptionsItCannotUseChangeNothing) {
  EXPECT_EQ(Run({"--settings-dir", (folder.Path() / "cfg").string(), "--baud", "1200"}), 2);
  EXPECT_NE(Contents(err_).find("--baud"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "cfg" / "ntripinfo.bin"));
}

}  // namespace
}  // namespace quillon::cli
