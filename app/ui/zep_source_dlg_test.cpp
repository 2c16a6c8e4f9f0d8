// The Base dialog against the in-process caster, a simulated receiver on a pty and the
// in-memory Bluetooth library, on the virtual clock; on its own and through the chooser's BASE.
#include "app/ui/zep_source_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/ui/bluetooth_dlg.h"
#include "app/ui/main_frame.h"
#include "app/ui/testing/mode_dlg_fixture.h"
#include "app/ui/testing/screenshot.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "common/strings.h"

namespace quillon::ui {
namespace {

using quillon::testing::HookedClock;
using quillon::ui::testing::Click;
using quillon::ui::testing::Q;
using quillon::ui::testing::SaveScreenshot;
using quillon::ui::testing::VisibleDialog;
using quillon::ui::testing::WhenIdle;

const QString kRejected = QStringLiteral("Authentication credentials were rejected or ignored.");

// Holds the Base worker in its countdown once it shows `line` (any retry line when empty),
// until Release or until the session is stopped (the stop's first wait lets it go), so that the
// test can look at the dialog meanwhile.
class CountdownHold {
 public:
  CountdownHold(HookedClock& clock, std::u16string line) : clock_(clock), line_(std::move(line)) {
    clock_.beforeSleep = [this](int) { OnSleep(); };
  }
  ~CountdownHold() {
    clock_.beforeSleep = [](int) {};
  }

  void Watch(BaseStatus& status) { status_.store(&status); }
  bool WaitReached() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return reached_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  void OnSleep() {
    BaseStatus* status = status_.load();
    if (status == nullptr) return;
    std::unique_lock lock(mutex_);
    if (std::this_thread::get_id() == testThread_) {
      released_ = released_ || status->running.load() == 0;
      changed_.notify_all();
      return;
    }
    const std::u16string text = status->StatusText();
    if (reached_ || !text.starts_with(line_.empty() ? u"Retry" : line_)) return;
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }

  HookedClock& clock_;
  const std::u16string line_;
  const std::thread::id testThread_ = std::this_thread::get_id();
  std::atomic<BaseStatus*> status_{nullptr};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reached_ = false;
  bool released_ = false;
};

// Idle: settings and COM port list; running: the counters, or the status text in their place.
void ExpectView(CZEPSourceDlg& d, bool running, bool statusText = false) {
  EXPECT_EQ(d.ItemText(kIdConnect), running ? "Disconnect" : "Connect");
  for (const int id : {kIdComPortList, kIdComPortLabel}) {
    EXPECT_EQ(d.Item(id)->isVisibleTo(&d), !running) << id;
  }
  for (const int id : {kIdConnectTime, kIdProgress, kIdBytesLabel, kIdByteCount}) {
    EXPECT_EQ(d.Item(id)->isVisibleTo(&d), running && !statusText) << id;
  }
  EXPECT_EQ(d.Item(kIdStatusText)->isVisibleTo(&d), statusText);
  EXPECT_FALSE(d.Item(kIdBaudList)->isVisibleTo(&d));
  for (const int id : {kIdPassword, kIdAddressList, kIdPort, kIdMountPointList}) {
    EXPECT_EQ(d.Item(id)->isEnabled(), !running) << id;
  }
}

class BaseDlgTest : public testing::ModeDlgFixture {
 protected:
  BaseSettings Saved() {
    BaseSettings saved;
    EXPECT_TRUE(ReadSettingsFile(saved, folder.Path()));
    return saved;
  }

  // Connects to the caster and waits until the receiver's first bytes have been uploaded.
  void Upload(CZEPSourceDlg& d) {
    EnterCaster(d);
    Click(d, kIdConnect);
    receiver.Emit(std::string(1500, '\xD3'));
    ASSERT_TRUE(caster.WaitForUploaded(1500, kRealLimit));
  }

  BaseStatus status;
};

TEST_F(BaseDlgTest, AFirstStartShowsTheStartUpTextsAndTheIdleView) {
  CZEPSourceDlg dialog(services, status);
  Run(dialog, [&] {
    EXPECT_EQ(dialog.ItemText(kIdAddressList), "0.0.0.0");
    EXPECT_EQ(dialog.ItemText(kIdPort), "2101");
    EXPECT_EQ(dialog.ItemText(kIdPassword), "");
    EXPECT_EQ(dialog.ItemText(kIdMountPointList), "");
    EXPECT_EQ(dialog.GetCurSel(kIdBaudList), 1);
    EXPECT_EQ(dialog.ItemText(kIdComPortList), QString::fromStdString(receiver.DevicePath()));
    EXPECT_EQ(dialog.focusWidget(), dialog.Item(kIdConnect));
    ExpectView(dialog, false);
    SaveScreenshot(dialog, QStringLiteral("base_idle"));
  });
  EXPECT_TRUE(timerWasSet);
  EXPECT_EQ(status.owner.load(), &boxes);
}

// Connect saves the controls before it checks them (the stored user name kept, 0 for the Rover's
// flag): an empty address is refused with its box, and "BLUETOOTH" with Cancel in the device
// choice says nothing; both leave the dialog idle.
TEST_F(BaseDlgTest, ConnectSavesFirstAndARefusalOrACancelledChoiceLeavesTheDialogIdle) {
  BaseSettings stored;
  SetDefaultSettings(stored);
  stored.noAuthentication = 1;
  ASSERT_TRUE(WriteSettingsFile(stored, folder.Path()));
  bluetooth.SetRadioOn(true);
  for (const QString& comPort : {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("BLUETOOTH")}) {
    const bool bluetoothPort = comPort == "BLUETOOTH";
    CZEPSourceDlg dialog(services, status);
    Run(dialog, [&] {
      dialog.SetItemText(kIdAddressList, bluetoothPort ? QStringLiteral("caster") : QString());
      dialog.SetItemText(kIdComPortList, comPort);
      bool offered = false;
      WhenIdle([&] {
        auto* choice = VisibleDialog<CBluetoothDlg>();
        offered = choice != nullptr;
        if (offered) Click(*choice, kIdCancel);
      });
      Click(dialog, kIdConnect);
      EXPECT_EQ(offered, bluetoothPort);
      ExpectView(dialog, false);
    });
    const BaseSettings saved = Saved();
    EXPECT_EQ(Q(FieldText(saved.comPortName)), comPort);
    EXPECT_EQ(FieldText(saved.userName), u"user");
    EXPECT_EQ(saved.noAuthentication, 0);
  }
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, u"Address is empty.");
  EXPECT_FALSE(status.HasWorker());
}

TEST_F(BaseDlgTest, PickingTheThirdCasterShowsItsPasswordPortAndMountPoints) {
  BaseSettings stored;
  stored.hostCount = 3;
  for (std::size_t i = 0; i < 3; ++i) {
    HostEntry& host = stored.hosts[i];
    SetFieldText(host.address, u"caster" + std::u16string(1, u'1' + i));
    SetFieldText(host.password, u"secret" + std::u16string(1, u'1' + i));
    host.port = 2101 + static_cast<int>(i);
    host.mountPointCount = static_cast<int>(i) + 1;
    host.selectedMountPoint = static_cast<int>(i);
    for (std::size_t m = 0; m <= i; ++m) {
      SetFieldText(host.mountPoints[m], u"MP" + std::u16string(1, u'A' + m));
    }
  }
  ASSERT_TRUE(WriteSettingsFile(stored, folder.Path()));
  CZEPSourceDlg dialog(services, status);
  Run(dialog, [&] {
    EXPECT_EQ(dialog.ItemText(kIdAddressList), "caster1");
    EXPECT_EQ(dialog.ItemText(kIdPassword), "secret1");
    auto* addresses = dialog.Control<QComboBox>(kIdAddressList);
    addresses->setFocus();
    QTest::keyClick(addresses, Qt::Key_Down);
    QTest::keyClick(addresses, Qt::Key_Down);
    EXPECT_EQ(dialog.ItemText(kIdAddressList), "caster3");
    EXPECT_EQ(dialog.ItemText(kIdPassword), "secret3");
    EXPECT_EQ(dialog.ItemText(kIdPort), "2103");
    EXPECT_EQ(dialog.Control<QComboBox>(kIdMountPointList)->count(), 3);
    EXPECT_EQ(dialog.ItemText(kIdMountPointList), "MPC");
    EXPECT_EQ(dialog.Settings().selectedHost, 2);
  });
}

// A failed attempt's reason and countdown replace the counters at the next tick; once the next
// attempt uploads, the counters are back.
TEST_F(BaseDlgTest, TheStatusTextReplacesTheCountersUntilAnAttemptUploadsAgain) {
  caster.Script(CasterBehaviour::kResetAfterRequest);  // the longest reason of all
  CountdownHold hold(clock, u"Retry attempt 1/15 in 42 seconds.\r\n");
  hold.Watch(status);
  CZEPSourceDlg dialog(services, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    Click(dialog, kIdConnect);
    ASSERT_TRUE(hold.WaitReached());
    dialog.DeliverTick(kStatusTimer);
    ExpectView(dialog, true, true);
    const auto* text = dialog.Control<QLabel>(kIdStatusText);
    EXPECT_EQ(text->text(),
              "Retry attempt 1/15 in 42 seconds.\n" + Q(LoadString(kStrAuthenticationIo)));
    EXPECT_LE(text->heightForWidth(text->width()), text->height());  // nothing cut off
    SaveScreenshot(dialog, QStringLiteral("base_counting_down"));

    hold.Release();
    receiver.Emit(std::string(1500, '\xD3'));
    ASSERT_TRUE(caster.WaitForUploaded(1500, kRealLimit));
    dialog.DeliverTick(kStatusTimer);
    ExpectView(dialog, true);
    EXPECT_EQ(dialog.ItemText(kIdByteCount), "1500");
    SaveScreenshot(dialog, QStringLiteral("base_uploading"));
    Click(dialog, kIdConnect);
    ExpectView(dialog, false);
  });
  EXPECT_EQ(caster.ConnectionCount(), 2u);
  EXPECT_EQ(Saved().hostCount, 1);  // remembered by the worker after the second login
  EXPECT_TRUE(boxes.Boxes().empty());
}

// Every attempt fails at once; after the worker's final box the next tick brings the idle view
// back after the 5-second stop.
TEST_F(BaseDlgTest, AWorkerThatGaveUpIsFollowedByTheIdleViewAtTheNextTick) {
  CZEPSourceDlg dialog(services, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    dialog.SetItemText(kIdAddressList, QStringLiteral("192.168.1.300"));
    Click(dialog, kIdConnect);
    ASSERT_TRUE(status.WaitWorkerEnded(20000));
    ExpectView(dialog, true);
    const auto before = clock.Elapsed();
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(clock.Elapsed() - before, 5000u);
    ExpectView(dialog, false);
    EXPECT_FALSE(status.HasWorker());
  });
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(boxes.Boxes()[0].text.starts_with(u"Could not re-connect to NTRIP Caster."));
}

// OK during an upload asks first: No keeps the session, Yes ends it and the dialog.
TEST_F(BaseDlgTest, OkWhileUploadingAsksAndNoKeepsTheSession) {
  CZEPSourceDlg dialog(services, status);
  const int result = Run(dialog, [&] {
    Upload(dialog);
    boxes.ScriptAnswers({MessageAnswer::kNo, MessageAnswer::kYes});
    dialog.TitleOkButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(caster.Connections().at(0).open);
    dialog.TitleOkButton()->click();
  });
  EXPECT_EQ(result, kIdOk);
  EXPECT_TRUE(caster.WaitForClosed(0, kRealLimit));
  EXPECT_FALSE(status.HasWorker());
  const auto shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, u"Are you sure you wish to terminate the connection and exit?");
  EXPECT_EQ(shown[0].caption, u"Warning");
  EXPECT_EQ(shown[0].buttons, MessageButtons::kYesNo);
}

// The whole program: BASE, a caster that refuses the password, Disconnect while the worker
// counts down to its retry, and OK on the idle dialog, which asks nothing.
TEST_F(BaseDlgTest, BaseAgainstACasterThatRefusesThePasswordStopsDuringTheCountdown) {
  CountdownHold hold(clock, u"");
  CZEPQuillonApp app({.clock = &clock, .messages = &boxes, .help = HelpViewer(QStringList())},
                     {&bluetooth, &devices, folder.Path()});
  ASSERT_TRUE(app.InitInstance());
  app.MainFrame()->View()->Splash().DestroyWindow();
  bool closed = false;
  WhenIdle([&] {
    auto* dialog = VisibleDialog<CZEPSourceDlg>();
    ASSERT_NE(dialog, nullptr);
    dialog->KillTimer(kStatusTimer);
    hold.Watch(dialog->Status());
    EnterCaster(*dialog);
    dialog->SetItemText(kIdPassword, QStringLiteral("wrong"));
    Click(*dialog, kIdConnect);
    ASSERT_TRUE(hold.WaitReached());
    dialog->DeliverTick(kStatusTimer);
    EXPECT_TRUE(dialog->ItemText(kIdStatusText)
                    .contains(QRegularExpression("^Retry attempt 1/15 in \\d+ seconds.\n" +
                                                 QRegularExpression::escape(kRejected) + "$")))
        << dialog->ItemText(kIdStatusText).toStdString();
    Click(*dialog, kIdConnect);
    ExpectView(*dialog, false);
    EXPECT_FALSE(dialog->Status().HasWorker());
    dialog->TitleOkButton()->click();
    closed = !dialog->isVisible();
  });
  app.MainFrame()->View()->BaseButton()->click();
  EXPECT_TRUE(closed);
  EXPECT_EQ(caster.ConnectionCount(), 1u);
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
}  // namespace quillon::ui
