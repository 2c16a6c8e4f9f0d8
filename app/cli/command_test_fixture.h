// A command run as main() runs it, stopped through its stop descriptor as a signal would.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/command_environment.h"
#include "app/cli/commands.h"
#include "app/cli/service_notifier.h"
#include "demo/demo_caster.h"
#include "demo/simulated_receiver.h"
#include "testing/file_privileges.h"
#include "testing/hooked_clock.h"
#include "testing/memory_device_source.h"
#include "testing/temp_folder.h"

namespace quillon::cli {

// Everything written to `file` so far, read without moving a writer's position.
inline std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::string text;
  char buffer[4096];
  for (ssize_t n;
       (n = pread(fileno(file), buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::istringstream stream(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// A service manager that keeps every state it is told, with `clock`'s time of each.
class RecordingNotifier final : public ServiceNotifier {
 public:
  explicit RecordingNotifier(const quillon::testing::HookedClock* clock = nullptr)
      : clock_(clock) {}
  void Notify(std::string_view state) override {
    sent.emplace_back(state);
    at.push_back(clock_ == nullptr ? 0 : clock_->Elapsed());
  }
  std::vector<std::string> sent;
  std::vector<std::uint64_t> at;

 private:
  const quillon::testing::HookedClock* clock_;
};

class CommandFixture : public ::testing::Test {
 protected:
  explicit CommandFixture(Command command) : command_(command) {
    EXPECT_EQ(pipe(stopPipe_), 0);
    std::ofstream(folder.Path() / "password") << "demo\n";
  }
  ~CommandFixture() override {
    if (runner_.joinable()) {
      AskToStop();
      runner_.join();
    }
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    std::fclose(out_);
    std::fclose(err_);
  }

  // The fixture's caster, password file, receiver and settings folder, and `extra`.
  Arguments SessionArgs(const Arguments& extra = {}) const {
    Arguments args = {"--caster",        "127.0.0.1:" + std::to_string(caster.Port()),
                      "--mount",         "DEMO",
                      "--password-file", (folder.Path() / "password").string(),
                      "--device",        receiver.DevicePath(),
                      "--settings-dir",  (folder.Path() / "cfg").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  // Runs the command on its own thread, as main() would on the process's.
  void Launch(Arguments args) {
    ended_.store(false);
    runner_ = std::thread([this, args = std::move(args)] {
      if (withoutFilePrivileges_) {
        ASSERT_TRUE(quillon::testing::DropFilePrivilegesOfThisThread());
      }
      CommandEnvironment environment{clock, out_, err_, bluetooth_, std::nullopt, stopPipe_[0]};
      environment.report.notifier = notifier_;
      environment.devices = &devices_;
      exitCode_ = command_(args, environment);
      ended_.store(true);
    });
  }
  // Runs the command to its end, with fresh output streams.
  int Run(Arguments args) {
    for (std::FILE** stream : {&out_, &err_}) {
      std::fclose(*stream);
      *stream = std::tmpfile();
    }
    Launch(std::move(args));
    return Finish();
  }
  int Finish() {
    runner_.join();
    return exitCode_;
  }
  // Whether the command ends by itself within 20 real seconds; asked to stop when it does not.
  bool EndsByItself() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ended_.load() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    if (!ended_.load()) AskToStop();
    return ended_.load();
  }
  void AskToStop() { ASSERT_EQ(write(stopPipe_[1], "x", 1), 1); }
  // Takes back the one stop asked for, so that the next run starts without it.
  void TakeBackStop() {
    char c = 0;
    ASSERT_EQ(read(stopPipe_[0], &c, 1), 1);
  }
  template <class Settings>
  Settings Saved() const {
    Settings saved;
    EXPECT_TRUE(ReadSettingsFile(saved, folder.Path() / "cfg"));
    return saved;
  }
  // Waits for a printed line ending in `ending`; false after 20 real seconds.
  bool WaitForOutputLine(std::string_view ending) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
      for (const std::string& line : Lines(Contents(out_))) {
        if (line.ends_with(ending)) return true;
      }
      std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  quillon::testing::HookedClock clock{20};
  quillon::testing::TempFolder folder;
  DemoCaster caster;
  SimulatedReceiver receiver{clock};
  BluetoothLib* bluetooth_ = nullptr;
  quillon::testing::MemoryDeviceSource devices_;  // the ports the system lists
  bool withoutFilePrivileges_ = false;   // the command runs as a user whom permissions hold
  ServiceNotifier* notifier_ = nullptr;  // the service manager the command reports to
  std::FILE* out_ = std::tmpfile();
  std::FILE* err_ = std::tmpfile();

 private:
  Command command_;
  int stopPipe_[2] = {-1, -1};
  std::thread runner_;
  std::atomic<bool> ended_{false};
  int exitCode_ = -1;
};

}  // namespace quillon::cli
