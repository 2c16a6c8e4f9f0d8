// A Base session between a simulated receiver on a pty (or the in-memory Bluetooth link) and
// the in-process caster on 127.0.0.1, on the virtual clock, with every message box recorded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "base/base_session.h"
#include "common/text.h"
#include "demo/demo_caster.h"
#include "demo/simulated_receiver.h"
#include "net/address.h"
#include "session/stop_session.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"

namespace quillon::testing {

inline std::u16string Wide(std::string_view text) {
  return std::u16string(text.begin(), text.end());
}

inline std::u16string ConnectionErrorText(std::string_view reason) {
  return u"Connection Error: Could not create connection to server. \r\nReason:" + Wide(reason);
}

class BaseSessionFixture : public ::testing::Test {
 protected:
  // Readable-waits look long enough in real time for the caster's answer; once uploading,
  // silent passes run fast.
  static constexpr int kAnswerPollMs = 50, kFastPollMs = 1;
  static constexpr std::chrono::seconds kRealLimit{30};

  explicit BaseSessionFixture(std::uint32_t startTick = 1000) : clock(kAnswerPollMs, startTick) {
    UseDefaultSettings();
    status.owner.store(&sink);
  }

  ~BaseSessionFixture() override { EndSession(); }
  void TearDown() override { EndSession(); }

  // Stops the session and drops the hooks the worker runs at the start of every countdown step
  // (a sleep) and every upload pass (a wait on the caster and the receiver). A test whose hook
  // uses its own locals ends the session before they go, with a StopAtExit declared after them.
  void EndSession() {
    StopSession(status, link, clock, StopKind::kClose);
    clock.beforeSleep = [](int) {};
    clock.beforeWaitAny = [](int) {};
  }
  struct StopAtExit {
    BaseSessionFixture& fixture;
    ~StopAtExit() { fixture.EndSession(); }
  };

  // The caster's mount point and password, the receiver's device, 9600 baud.
  void UseDefaultSettings() {
    SetDefaultSettings(settings);
    SetFieldText(settings.address, u"127.0.0.1");
    settings.port = caster->Port();
    SetFieldText(settings.password, u"demo");
    SetFieldText(settings.mountPoint, u"DEMO");
    SetFieldText(settings.comPortName, Wide(receiver.DevicePath()));
  }

  void UseCaster(DemoCasterConfig config) {
    caster = std::make_unique<DemoCaster>(std::move(config));
    settings.port = caster->Port();
  }

  // The receiver on the Bluetooth link instead of the pty.
  void UseBluetooth() {
    bluetooth.SetDevices({{u"GNSS receiver"}});
    link.ChooseBluetooth(0, 1);
  }

  BaseSessionContext Context() { return {settings, status, link, clock, folder.Path()}; }
  void Start() { StartBaseSession(Context()); }
  // One attempt on the test's thread.
  BaseSessionResult RunOnce() {
    status.running.store(1);
    return RunBaseSession(Context());
  }

  // Real-time wait for the worker to return by itself.
  bool WorkerEnds() { return status.WaitWorkerEnded(30000); }

  // The login is remembered in the settings file just before the upload begins.
  bool LoggedIn() const { return std::filesystem::exists(folder.Path() / kBaseSettingsFileName); }

  HookedClock clock;
  RecordingMessageSink sink;
  BaseStatus status;
  FakeBluetoothLib bluetooth{clock};
  ComLink link{clock, &bluetooth};
  BaseSettings settings;
  TempFolder folder;
  std::unique_ptr<DemoCaster> caster = std::make_unique<DemoCaster>();
  SimulatedReceiver receiver{clock};
};

}  // namespace quillon::testing
