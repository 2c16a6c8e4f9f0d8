// A mode dialog against the in-process caster and a simulated receiver; the test delivers ticks.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "app/ui/combo.h"
#include "app/ui/main_frame.h"
#include "app/ui/mode_dlg.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/zep_interlink_dlg.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "app/ui/zep_source_dlg.h"
#include "demo/demo_caster.h"
#include "demo/simulated_receiver.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/hooked_clock.h"
#include "testing/memory_device_source.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"

namespace quillon::ui::testing {

inline QString Q(std::u16string_view text) { return ToQString(text); }

class ModeDlgFixture : public ::testing::Test {
 protected:
  static constexpr std::chrono::seconds kRealLimit{20};

  // Waits look 500 real ms: answers arrive, yet a slow machine never makes up a session's silence.
  ModeDlgFixture() : clock(500) {
    bluetooth.SetUsable(false);
    devices.AddSerialPort(QString::fromStdString(receiver.DevicePath()).toStdU16String());
  }

  // Runs `dialog` modally; `act` runs once it is up, with the real timer stopped.
  int Run(Dialog& dialog, std::function<void()> act) {
    WhenIdle([this, &dialog, act = std::move(act)] {
      timerWasSet = dialog.IsTimerSet(kStatusTimer);
      dialog.KillTimer(kStatusTimer);
      act();
      if (dialog.isVisible()) dialog.EndDialog(kIdCancel);  // a failed act must not hang
    });
    return dialog.DoModal();
  }

  // The whole program on the fixture's clock, boxes and devices, with its splash gone.
  std::unique_ptr<CZEPQuillonApp> StartProgram() {
    auto app = std::make_unique<CZEPQuillonApp>(
        AppEnvironment{.clock = &clock, .messages = &boxes, .help = HelpViewer(QStringList())},
        ModeEnvironment{&bluetooth, &devices, folder.Path()});
    EXPECT_TRUE(app->InitInstance());
    app->MainFrame()->View()->Splash().DestroyWindow();
    return app;
  }

  // Presses the chooser's `button` and runs `act` in the mode dialog it opens, timer stopped.
  template <class Dlg>
  static void RunFromChooser(QAbstractButton* button, std::function<void(Dlg&)> act) {
    WhenIdle([act = std::move(act)] {
      auto* dialog = VisibleDialog<Dlg>();
      ASSERT_NE(dialog, nullptr);
      dialog->KillTimer(kStatusTimer);
      act(*dialog);
      if (dialog->isVisible()) dialog->EndDialog(kIdCancel);  // a failed act must not hang
    });
    button->click();
  }

  // The caster, its mount point and the demo credentials in the controls the dialog has.
  void EnterCaster(Dialog& d) {
    d.SetItemText(kIdAddressList, QStringLiteral("127.0.0.1"));
    d.SetItemText(kIdPort, QString::number(caster.Port()));
    for (const int id : {kIdUserName, kIdPassword}) {
      if (d.Item(id) != nullptr) d.SetItemText(id, QStringLiteral("demo"));
    }
    d.SetItemText(kIdMountPointList, QStringLiteral("DEMO"));
  }

  // Running: the counters (or with `workerText` the worker's text) and the settings disabled.
  static void ExpectView(const Dialog& d, bool running, bool workerText = false) {
    EXPECT_EQ(d.ItemText(kIdConnect), running ? "Disconnect" : "Connect");
    EXPECT_TRUE(d.Item(kIdConnect)->isEnabled());
    enum Look { kShown, kEnabled };
    const auto expect = [&d](Look look, std::initializer_list<int> ids, bool expected) {
      for (const int id : ids) {
        if (const QWidget* c = d.Item(id)) {
          EXPECT_EQ(look == kShown ? c->isVisibleTo(&d) : c->isEnabled(), expected) << id;
        }
      }
    };
    expect(kShown, {kIdComPortList, kIdComPortLabel, kIdNoAuthentication}, !running);
    expect(kShown, {kIdConnectTime, kIdProgress, kIdBytesLabel, kIdByteCount, kIdSolution},
           running && !workerText);
    expect(kShown, {kIdStatusText}, workerText);
    expect(kShown, {kIdBaudList}, false);
    expect(kEnabled, {kIdUserName, kIdPassword, kIdAddressList, kIdPort, kIdSource}, !running);
  }

  // Ticks until the control `id` shows `text` (it may follow the worker a moment), or kRealLimit.
  static QString ItemTextReaching(Dialog& d, int id, const QString& text) {
    const auto deadline = std::chrono::steady_clock::now() + kRealLimit;
    do {
      d.DeliverTick(kStatusTimer);
    } while (d.ItemText(id) != text && std::chrono::steady_clock::now() < deadline);
    return d.ItemText(id);
  }
  static QString ByteCountReaching(Dialog& d, const QString& count) {
    return ItemTextReaching(d, kIdByteCount, count);
  }

  template <class Settings>
  Settings Saved() {
    Settings saved;
    EXPECT_TRUE(ReadSettingsFile(saved, folder.Path()));
    return saved;
  }

  bool timerWasSet = false;
  quillon::testing::HookedClock clock;
  quillon::testing::RecordingMessageSink boxes;
  quillon::testing::FakeBluetoothLib bluetooth{clock};
  quillon::testing::MemoryDeviceSource devices;
  quillon::testing::TempFolder folder;
  DemoCaster caster;
  SimulatedReceiver receiver{clock};
  ComLink link{clock, &bluetooth};
  ModeServices services{clock, boxes, bluetooth, devices, link, folder.Path(), std::nullopt};
};

}  // namespace quillon::ui::testing
