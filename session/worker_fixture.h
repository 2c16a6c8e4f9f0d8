// What the Rover's and the Base's worker tests share: a session between the in-process caster on
// 127.0.0.1 and a simulated receiver on a pty (or the in-memory Bluetooth link), on the hooked
// virtual clock, with every message box recorded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "common/utf8.h"
#include "demo/demo_caster.h"
#include "demo/simulated_receiver.h"
#include "session/stop_session.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"

namespace quillon::testing {

template <typename Settings, typename Status>
class WorkerFixture : public ::testing::Test {
 protected:
  // Readable-waits look long enough in real time for the caster's answer; once logged in,
  // silent passes run fast.
  static constexpr int kAnswerPollMs = 50, kFastPollMs = 1;
  static constexpr std::chrono::seconds kRealLimit{30};

  explicit WorkerFixture(std::uint32_t startTick = 1000) : clock(kAnswerPollMs, startTick) {
    UseDefaultSettings();
    status.owner.store(&sink);
  }
  void TearDown() override { EndSession(); }  // before the test's members go
  ~WorkerFixture() override { EndSession(); }

  // Stops the session and drops the clock's hooks. A test whose hooks use its own locals ends
  // the session before they go, with a StopAtExit declared after them.
  void EndSession() {
    StopSession(status, link, clock, StopKind::kClose);
    clock.beforeWait = clock.beforeSleep = clock.beforeWaitWritable =
        clock.beforeWaitAny = [](int) {};
  }
  struct StopAtExit {
    WorkerFixture& fixture;
    ~StopAtExit() { fixture.EndSession(); }
  };

  // The caster's mount point and password, the receiver's device, 9600 baud.
  void UseDefaultSettings() {
    SetDefaultSettings(settings);
    SetFieldText(settings.address, u"127.0.0.1");
    settings.port = caster->Port();
    SetFieldText(settings.password, u"demo");
    SetFieldText(settings.mountPoint, u"DEMO");
    SetFieldText(settings.comPortName, FromUtf8(receiver.DevicePath()));
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

  // Real-time wait for the worker to return by itself.
  bool WorkerEnds() { return status.WaitWorkerEnded(30000); }

  // Real-time wait, up to kRealLimit, until `done` holds; whether it did.
  template <typename Done>
  static bool Eventually(Done done) {
    for (const auto deadline = std::chrono::steady_clock::now() + kRealLimit; !done();) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::yield();
    }
    return true;
  }

  // The total once it has reached `bytes` (or after kRealLimit): a pass counts its bytes after
  // they have gone on.
  std::int64_t TotalReaching(std::int64_t bytes) {
    Eventually([&] { return status.Snapshot().total >= bytes; });
    return status.Snapshot().total;
  }

  HookedClock clock;
  RecordingMessageSink sink;
  Status status;
  FakeBluetoothLib bluetooth{clock};  // the receiver link when a test chooses it
  ComLink link{clock, &bluetooth};
  Settings settings;
  TempFolder folder;
  std::unique_ptr<DemoCaster> caster = std::make_unique<DemoCaster>();
  SimulatedReceiver receiver{clock};
};

}  // namespace quillon::testing
