// The Rover dialog against the in-process caster, a simulated receiver on a pty and the
// in-memory Bluetooth library, on the virtual clock: its start-up, Connect's refusals, a whole
// session, the return to idle after a failure, the source table and the override keys.
#include "app/ui/zep_interlink_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <functional>
#include <map>

#include "app/ui/bluetooth_dlg.h"
#include "app/ui/gga_override_dlg.h"
#include "app/ui/main_frame.h"
#include "app/ui/qt_message_sink.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/testing/screenshot.h"
#include "app/ui/wait.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "ntrip/demo_caster.h"
#include "ntrip/simulated_receiver.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/memory_device_source.h"
#include "testing/recording_message_sink.h"
#include "testing/temp_folder.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using quillon::ui::testing::SaveScreenshot;
using quillon::ui::testing::VisibleDialog;
using quillon::ui::testing::WhenIdle;
constexpr std::chrono::seconds kRealLimit{20};

QString Q(const std::string& text) { return QString::fromStdString(text); }

class RoverDlgTest : public ::testing::Test {
 protected:
  // Readable-waits look long enough in real time for the caster's answers to arrive.
  RoverDlgTest() : clock(1000, 1'700'000'000, 50) {
    bluetooth.SetUsable(false);
    devices.AddSerialPort(
        std::u16string(receiver.DevicePath().begin(), receiver.DevicePath().end()));
  }

  // Runs `dialog` modally with its timer stopped (the test delivers the ticks); `act` runs once
  // it is up. Returns how it ended.
  int Run(Dialog& dialog, std::function<void()> act) {
    WhenIdle([this, &dialog, act = std::move(act)] {
      timerWasSet = dialog.IsTimerSet(kStatusTimer);
      dialog.KillTimer(kStatusTimer);
      act();
      if (dialog.isVisible()) dialog.EndDialog(kIdCancel);  // a failed act must not hang
    });
    return dialog.DoModal();
  }

  // The caster's address and demo credentials in the controls.
  void EnterCaster(CZEPInterlinkDlg& d) {
    d.SetItemText(kIdAddressList, QStringLiteral("127.0.0.1"));
    d.SetItemText(kIdPort, QString::number(caster.Port()));
    d.SetItemText(kIdUserName, QStringLiteral("demo"));
    d.SetItemText(kIdPassword, QStringLiteral("demo"));
    d.SetItemText(kIdMountPointList, QStringLiteral("DEMO"));
  }

  static void Click(Dialog& d, int id) { d.Control<QAbstractButton>(id)->click(); }

  // The running view: counters instead of the COM port list and the tick box, settings off.
  static void ExpectView(CZEPInterlinkDlg& d, bool running) {
    EXPECT_EQ(d.ItemText(kIdConnect), running ? "Disconnect" : "Connect");
    EXPECT_TRUE(d.Item(kIdConnect)->isEnabled());
    for (const int id : {kIdComPortList, kIdComPortLabel, kIdNoAuthentication}) {
      EXPECT_EQ(d.Item(id)->isVisibleTo(&d), !running) << id;
    }
    for (const int id :
         {kIdConnectTimeLabel, kIdConnectTime, kIdProgress, kIdBytesLabel, kIdByteCount}) {
      EXPECT_EQ(d.Item(id)->isVisibleTo(&d), running) << id;
    }
    for (const int id : {kIdBaudList, kIdBaudLabel}) EXPECT_FALSE(d.Item(id)->isVisibleTo(&d));
    for (const int id : {kIdUserName, kIdPassword, kIdAddressList, kIdPort, kIdMountPointList,
                         kIdSource, kIdNoAuthentication}) {
      EXPECT_EQ(d.Item(id)->isEnabled(), !running) << id;
    }
  }

  RoverSettings SavedSettings() {
    RoverSettings saved;
    EXPECT_TRUE(ReadSettingsFile(saved, folder.Path()));
    return saved;
  }

  bool timerWasSet = false;
  quillon::testing::VirtualClock clock;
  quillon::testing::RecordingMessageSink boxes;
  quillon::testing::FakeBluetoothLib bluetooth{clock};
  quillon::testing::MemoryDeviceSource devices;
  quillon::testing::TempFolder folder;
  DemoCaster caster;
  SimulatedReceiver receiver{clock};
  ComLink link{clock, &bluetooth};
  RoverStatus status;
  ModeServices services{clock, boxes, bluetooth, devices, link, folder.Path(), std::nullopt};
};

TEST_F(RoverDlgTest, AFirstStartShowsTheStartUpTextsAndTheIdleView) {
  CZEPInterlinkDlg dialog(services, status);
  Run(dialog, [&] {
    EXPECT_EQ(dialog.ItemText(kIdAddressList), "0.0.0.0");
    EXPECT_EQ(dialog.ItemText(kIdPort), "2101");
    for (const int id : {kIdUserName, kIdPassword, kIdMountPointList}) {
      EXPECT_EQ(dialog.ItemText(id), "") << id;
    }
    EXPECT_EQ(dialog.GetCurSel(kIdBaudList), 1);
    EXPECT_EQ(dialog.ItemText(kIdComPortList), Q(receiver.DevicePath()));
    EXPECT_EQ(dialog.Control<QProgressBar>(kIdProgress)->maximum(), 500);
    EXPECT_EQ(dialog.Control<QLineEdit>(kIdUserName)->maxLength(), 15);
    EXPECT_EQ(dialog.Control<QLineEdit>(kIdPort)->maxLength(), 6);
    EXPECT_EQ(dialog.focusWidget(), dialog.Item(kIdConnect));
    ExpectView(dialog, false);
  });
  EXPECT_TRUE(timerWasSet);
  EXPECT_EQ(status.owner.load(), &boxes);
}

// Connect saves the controls first, then refuses what cannot be used, each with its box, and
// starts nothing. A Bluetooth port offers the device choice; its Cancel says nothing.
TEST_F(RoverDlgTest, ConnectRefusalsShowTheirMessageAfterTheSettingsWereSaved) {
  struct Case {
    QString address;
    QString port;
    QString comPort;
    bool radioOn;
    std::u16string message;  // empty: no box
  };
  const Case cases[] = {
      {"", "2101", "/dev/ttyUSB0", true, u"Address is empty."},
      {"caster", "2101", "", true, u"There is no COM port selected?"},
      {"caster", "0", "/dev/ttyUSB0", true, u"Port number appears to be invalid?"},
      {"caster", "70000", "/dev/ttyUSB0", true, u"Port number appears to be invalid?"},
      {"caster", "2101", "BLUETOOTH", false,
       u"The bluetooth radio appears to be in the off state. Please turn on and try again."},
      {"caster", "2101", "BLUETOOTH", true, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comPort.toStdString() + " " + c.port.toStdString());
    bluetooth.SetRadioOn(c.radioOn);
    const std::size_t before = boxes.Boxes().size();
    CZEPInterlinkDlg dialog(services, status);
    Run(dialog, [&] {
      dialog.SetItemText(kIdAddressList, c.address);
      dialog.SetItemText(kIdPort, c.port);
      dialog.SetItemText(kIdComPortList, c.comPort);
      WhenIdle([] {
        if (auto* choice = VisibleDialog<CBluetoothDlg>()) Click(*choice, kIdCancel);
      });
      Click(dialog, kIdConnect);
      ExpectView(dialog, false);
    });
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), before + (c.message.empty() ? 0 : 1));
    if (!c.message.empty()) {
      EXPECT_EQ(shown.back().text, c.message);
      EXPECT_EQ(shown.back().caption, u"Error");
      EXPECT_EQ(shown.back().icon, MessageIcon::kExclamation);
    }
    EXPECT_FALSE(status.HasWorker());
    EXPECT_EQ(caster.ConnectionCount(), 0u);
    const RoverSettings saved = SavedSettings();
    EXPECT_EQ(QString::fromStdU16String(std::u16string(FieldText(saved.address))), c.address);
    EXPECT_EQ(QString::fromStdU16String(std::u16string(FieldText(saved.comPortName))), c.comPort);
  }
}

TEST_F(RoverDlgTest, StoredCastersFillTheListsAndPickingOneShowsItsEntry) {
  RoverSettings stored;
  stored.hostCount = 2;
  stored.selectedHost = 1;
  stored.noAuthentication = 1;
  SetFieldText(stored.comPortName, u"/dev/ttyS9:");
  const std::u16string addresses[] = {u"rtk.example.com", u"10.0.0.7"};
  for (std::size_t i = 0; i < 2; ++i) {
    HostEntry& host = stored.hosts[i];
    SetFieldText(host.address, addresses[i]);
    host.port = 2101 + static_cast<int>(i);
    SetFieldText(host.userName, i == 0 ? u"anna" : u"bert");
    SetFieldText(host.password, u"pw");
    host.mountPointCount = 2;
    host.selectedMountPoint = static_cast<int>(i);
    SetFieldText(host.mountPoints[0], u"MP_A");
    SetFieldText(host.mountPoints[1], u"MP_B");
  }
  ASSERT_TRUE(WriteSettingsFile(stored, folder.Path()));
  devices = {};  // no port found: the stored one is offered, without its ':'

  CZEPInterlinkDlg dialog(services, status);
  Run(dialog, [&] {
    const auto* list = dialog.Control<QComboBox>(kIdAddressList);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), "rtk.example.com");
    EXPECT_EQ(dialog.ItemText(kIdAddressList), "10.0.0.7");
    EXPECT_EQ(dialog.ItemText(kIdUserName), "bert");
    EXPECT_EQ(dialog.ItemText(kIdPort), "2102");
    EXPECT_EQ(dialog.ItemText(kIdMountPointList), "MP_B");
    EXPECT_EQ(dialog.ItemText(kIdComPortList), "/dev/ttyS9");
    EXPECT_TRUE(dialog.IsChecked(kIdNoAuthentication));
    for (const int id : {kIdUserName, kIdPassword, kIdMountPointList}) {
      EXPECT_FALSE(dialog.Item(id)->isEnabled()) << id;
    }

    Click(dialog, kIdNoAuthentication);  // off: the credentials are wanted again
    EXPECT_TRUE(dialog.Item(kIdUserName)->isEnabled());
    auto* addressList = dialog.Control<QComboBox>(kIdAddressList);
    addressList->setFocus();
    QTest::keyClick(addressList, Qt::Key_Up);  // the user picks the first caster
    EXPECT_EQ(dialog.ItemText(kIdUserName), "anna");
    EXPECT_EQ(dialog.ItemText(kIdPort), "2101");
    EXPECT_EQ(dialog.ItemText(kIdMountPointList), "MP_A");
    EXPECT_EQ(dialog.Settings().selectedHost, 0);
  });
}

TEST_F(RoverDlgTest, OnASmallScreenTheListsAndEditsNarrowAndSourceMovesUp) {
  std::map<int, QRect> normal;
  for (const int height : {320, 319}) {
    ModeServices small = services;
    small.screenHeight = height;
    CZEPInterlinkDlg dialog(small, status);
    Run(dialog, [&] {
      for (const int id : {kIdAddressList, kIdComPortList, kIdPassword, kIdProgress, kIdSource}) {
        const QRect now = dialog.Item(id)->geometry();
        if (height == 320) {
          normal[id] = now;
        } else if (id == kIdSource) {
          EXPECT_EQ(now, normal[id].translated(-22, -1));
        } else {
          EXPECT_EQ(now, normal[id].adjusted(0, 0, -22, 0))
              << id;  // a closed list keeps its height
        }
      }
    });
  }
}

// The counters as the timer shows them, for the values a worker leaves in the status.
TEST_F(RoverDlgTest, TheTimerShowsRateAgainstPeakTheConnectTimeAndTheTotal) {
  struct Case {
    std::int32_t peak, rate, total;
    int range, position;
  };
  const Case cases[] = {
      {0, 0, 0, 500, 0},              // no peak yet: 500
      {800, 600, 123456, 800, 600},   //
      {70000, 70000, 5, 4464, 4464},  // the peak's low 16 bits, the rate held inside
  };
  CZEPInterlinkDlg dialog(services, status);
  Run(dialog, [&] {
    for (const auto& c : cases) {
      {
        std::lock_guard guard(status.lock);
        status.running.store(1);
        status.peak = c.peak;
        status.rate = c.rate;
        status.total = c.total;
        status.elapsed = FormatElapsed(3723);
      }
      dialog.DeliverTick(kStatusTimer);
      const auto* bar = dialog.Control<QProgressBar>(kIdProgress);
      EXPECT_EQ(bar->maximum(), c.range);
      EXPECT_EQ(bar->value(), c.position);
      EXPECT_EQ(dialog.ItemText(kIdConnectTime), "01:02:03");
      EXPECT_EQ(dialog.ItemText(kIdByteCount), QString::number(c.total));
    }
    status.Reset();
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(dialog.ItemText(kIdConnectTime), "00:00:00");
    EXPECT_EQ(dialog.Control<QProgressBar>(kIdProgress)->value(), 0);
  });
}

TEST_F(RoverDlgTest, ASessionAgainstTheCasterCountsTheBytesAndDisconnectBringsIdleBack) {
  CZEPInterlinkDlg dialog(services, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    const auto beforeConnect = clock.Elapsed();
    Click(dialog, kIdConnect);
    EXPECT_GE(clock.Elapsed() - beforeConnect, 2000u);
    ExpectView(dialog, true);
    ASSERT_TRUE(caster.WaitForLoggedInClients(1, kRealLimit));
    const std::string corrections(1500, '\xD3');
    ASSERT_EQ(caster.SendToClients(corrections), 1);
    ASSERT_TRUE(receiver.WaitForReceived(corrections.size(), kRealLimit));
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(dialog.ItemText(kIdByteCount), "1500");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                    .match(dialog.ItemText(kIdConnectTime))
                    .hasMatch());

    const auto beforeStop = clock.Elapsed();
    Click(dialog, kIdConnect);
    EXPECT_GE(clock.Elapsed() - beforeStop, 5000u);
    ExpectView(dialog, false);
    EXPECT_FALSE(status.HasWorker());
    EXPECT_TRUE(caster.WaitForClosed(0, kRealLimit));
  });
  EXPECT_TRUE(boxes.Boxes().empty());
  const RoverSettings saved = SavedSettings();
  ASSERT_EQ(saved.hostCount, 1);  // remembered by the worker after the login
  EXPECT_EQ(FieldText(saved.hosts[0].mountPoints[0]), u"DEMO");
}

// The worker shows its box and gives up; the next tick brings the idle view back after the
// 5-second stop.
TEST_F(RoverDlgTest, AfterAWorkerFailureTheNextTickRestoresTheIdleView) {
  CZEPInterlinkDlg dialog(services, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    dialog.SetItemText(kIdComPortList, QStringLiteral("/dev/quillon-none"));
    Click(dialog, kIdConnect);
    ASSERT_TRUE(status.WaitWorkerEnded(20000));
    ExpectView(dialog, true);  // until the timer has seen the failure
    const auto before = clock.Elapsed();
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(clock.Elapsed() - before, 5000u);
    ExpectView(dialog, false);
    EXPECT_FALSE(status.HasWorker());
    EXPECT_FALSE(status.Snapshot().error);
  });
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, u"Unable to open COM Port.");
}

// Disconnect ends a worker that hangs in its connect, and one whose box the user has left
// open, without a further box and without hanging the window.
TEST_F(RoverDlgTest, DisconnectEndsAWorkerInItsConnectOrWaitingOnItsBox) {
  QtMessageSink sink;
  int shown = 0;
  sink.SetBoxShownHook([&](QMessageBox&) { ++shown; });
  ModeServices windowed{clock, sink, bluetooth, devices, link, folder.Path(), std::nullopt};
  caster.StopAccepting();
  for (const bool failsWithABox : {false, true}) {
    SCOPED_TRACE(failsWithABox);
    CZEPInterlinkDlg dialog(windowed, status);
    Run(dialog, [&] {
      EnterCaster(dialog);
      if (failsWithABox) dialog.SetItemText(kIdComPortList, QStringLiteral("/dev/quillon-none"));
      Click(dialog, kIdConnect);
      while (failsWithABox && sink.Unanswered() == 0) QApplication::processEvents();
      Click(dialog, kIdConnect);
      ExpectView(dialog, false);
      EXPECT_FALSE(status.HasWorker());
      EXPECT_EQ(sink.Unanswered(), 0u);
    });
    EXPECT_EQ(shown, failsWithABox ? 1 : 0);
  }
  EXPECT_EQ(caster.LoggedInClients(), 0);
}

// Source asks first, fetches beside the painted window and fills the mount-point list; a table
// without names leaves it alone, and a failure's box comes once the fetch is over (a box asked
// for during it could never be answered).
TEST_F(RoverDlgTest, SourceFillsTheMountPointsFromTheTableAndKeepsThemWithoutNames) {
  QtMessageSink sink;
  QStringList shown;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    EXPECT_FALSE(UiThreadHeld()) << "a box the user cannot answer: " << box.text().toStdString();
    shown << box.text();
    box.button(box.standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                : QMessageBox::Ok)
        ->click();
  });
  ModeServices windowed{clock, sink, bluetooth, devices, link, folder.Path(), std::nullopt};
  caster.SetSourceTable(
      "STR;MP1;Berlin;RTCM 3;;;;;DEU;52.5;13.4;1;0;sNTRIP;none;B;N;2400;\r\n"
      "STR;MP2;Potsdam;RTCM 3;;;;;DEU;52.4;13.1;1;0;sNTRIP;none;B;N;2400;\r\n");
  CZEPInterlinkDlg dialog(windowed, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    Click(dialog, kIdSource);
    const auto* list = dialog.Control<QComboBox>(kIdMountPointList);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), "MP2");
    EXPECT_EQ(dialog.ItemText(kIdMountPointList), "MP1");

    caster.SetSourceTable("CAS;caster.example.com;2101;Demo;;0;DEU;52.5;13.4;\r\n");
    Click(dialog, kIdSource);
    EXPECT_EQ(list->count(), 2);

    caster.Stop();  // nobody answers: the fetch fails with its box, after it is over
    Click(dialog, kIdSource);
    EXPECT_EQ(list->count(), 2);
  });
  ASSERT_EQ(shown.size(), 4);
  EXPECT_TRUE(shown[0].startsWith("You have chosen to download the source table"));
  EXPECT_TRUE(shown[3].startsWith("Connection Error"));
  EXPECT_EQ(caster.ConnectionCount(), 2u);
}

TEST_F(RoverDlgTest, CtrlGAndAltGOpenTheOverrideAndOkSavesItsValues) {
  CZEPInterlinkDlg dialog(services, status);
  int opened = 0;
  Run(dialog, [&] {
    // Alt+G first: Cancel keeps everything.
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_G, Qt::AltModifier);
    WhenIdle([&] {
      auto* override = VisibleDialog<CGgaOverrideDlg>();
      ASSERT_NE(override, nullptr);
      ++opened;
      EXPECT_EQ(override->ItemText(kIdLatitude), "0.000000");
      Click(*override, kIdCancel);
    });
    QApplication::processEvents();
    // Ctrl+G: OK takes the values over and saves them; Ctrl+H opens nothing.
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_G, Qt::ControlModifier);
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_H, Qt::ControlModifier);
    WhenIdle([&] {
      auto* override = VisibleDialog<CGgaOverrideDlg>();
      ASSERT_NE(override, nullptr);
      ++opened;
      Click(*override, kIdEnableOverride);
      override->SetItemText(kIdLatitude, QStringLiteral("35.5"));
      override->SetItemText(kIdLongitude, QStringLiteral("abc"));
      Click(*override, kIdOk);
    });
    QApplication::processEvents();
  });
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(dialog.Settings().overrideLatitude.load(), 35.5);
  const RoverSettings saved = SavedSettings();
  EXPECT_EQ(saved.overrideLatitude.load(), 35.5);
  EXPECT_EQ(saved.overrideLongitude.load(), 0.0);
  EXPECT_EQ(saved.overrideEnabled.load(), 1);
}

// Closing the main window during a session is the dialog's Cancel: it asks, No keeps the
// session, Yes ends it and then the window closes. Meanwhile Ctrl+G changes the position the
// running worker sends upstream.
TEST_F(RoverDlgTest, ClosingTheMainWindowDuringASessionAsksAndNoKeepsIt) {
  CZEPQuillonApp app({&clock, &boxes, {}, [] { return u"Jane"; }, HelpViewer(QStringList())},
                     {&bluetooth, &devices, folder.Path()});
  ASSERT_TRUE(app.InitInstance());
  CMainFrame& frame = *app.MainFrame();
  frame.View()->Splash().DestroyWindow();
  bool closedWhileRunning = true, closedAtTheEnd = false;
  WhenIdle([&] {
    auto* dialog = VisibleDialog<CZEPInterlinkDlg>();
    ASSERT_NE(dialog, nullptr);
    dialog->KillTimer(kStatusTimer);
    EnterCaster(*dialog);
    Click(*dialog, kIdConnect);
    ASSERT_TRUE(caster.WaitForLoggedInClients(1, kRealLimit));

    QTest::keyClick(dialog->Item(kIdConnect), Qt::Key_G, Qt::ControlModifier);
    WhenIdle([&] {
      auto* override = VisibleDialog<CGgaOverrideDlg>();
      ASSERT_NE(override, nullptr);
      Click(*override, kIdEnableOverride);
      override->SetItemText(kIdLatitude, QStringLiteral("35.5"));
      override->SetItemText(kIdLongitude, QStringLiteral("-120.25"));
      Click(*override, kIdOk);
    });
    QApplication::processEvents();
    receiver.Emit(MakeGgaSentence(1'700'000'000, 52.52, 13.40));
    EXPECT_TRUE(caster.WaitForReceivedFromClients(60, kRealLimit));
    EXPECT_NE(caster.ReceivedFromClients().find("3530.00000,N,12015.00000,W"), std::string::npos);

    boxes.ScriptAnswers({MessageAnswer::kNo, MessageAnswer::kYes});
    closedWhileRunning = frame.close();
    EXPECT_EQ(caster.LoggedInClients(), 1);  // the session goes on
    ExpectView(*dialog, true);
    closedAtTheEnd = frame.close();
  });
  EXPECT_EQ(app.RunRoverDialog(), kIdCancel);
  EXPECT_FALSE(closedWhileRunning);
  EXPECT_TRUE(closedAtTheEnd);
  EXPECT_TRUE(caster.WaitForClosed(0, kRealLimit));
  const auto shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  for (const Message& box : shown) {
    EXPECT_EQ(box.text, u"Are you sure you wish to terminate the connection and exit?");
    EXPECT_EQ(box.caption, u"Warning");
    EXPECT_EQ(box.buttons, MessageButtons::kYesNo);
  }
}

// The idle view with a stored caster, the running view with its counters, and the override
// dialog over the running session, for a reviewer to look at.
TEST_F(RoverDlgTest, Screenshots) {
  CZEPInterlinkDlg dialog(services, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    SaveScreenshot(dialog, QStringLiteral("rover_idle"));
    Click(dialog, kIdConnect);
    ASSERT_TRUE(caster.WaitForLoggedInClients(1, kRealLimit));
    ASSERT_EQ(caster.SendToClients(std::string(4711, 'x')), 1);
    ASSERT_TRUE(receiver.WaitForReceived(4711, kRealLimit));
    dialog.DeliverTick(kStatusTimer);
    SaveScreenshot(dialog, QStringLiteral("rover_running"));
    dialog.SetItemText(kIdConnectTime, QStringLiteral("00:00:00"));
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_G, Qt::ControlModifier);
    WhenIdle([] {
      auto* override = VisibleDialog<CGgaOverrideDlg>();
      ASSERT_NE(override, nullptr);
      SaveScreenshot(*override, QStringLiteral("gga_override"));
      Click(*override, kIdCancel);
    });
    QApplication::processEvents();
    Click(dialog, kIdConnect);
  });
}

TEST(GgaOverrideDlgTest, ShowsSixDecimalsTheTickGovernsTheEditsAndTextsReadAsNumbers) {
  CGgaOverrideDlg dialog(35.5, -120.125, 1);
  WhenIdle([&] {
    EXPECT_EQ(dialog.ItemText(kIdLatitude), "35.500000");
    EXPECT_EQ(dialog.ItemText(kIdLongitude), "-120.125000");
    EXPECT_TRUE(dialog.IsChecked(kIdEnableOverride));
    dialog.Control<QAbstractButton>(kIdEnableOverride)->click();
    EXPECT_FALSE(dialog.Item(kIdLatitude)->isEnabled());
    EXPECT_FALSE(dialog.Item(kIdLongitude)->isEnabled());
    dialog.SetItemText(kIdLatitude, QStringLiteral("abc"));
    dialog.Control<QAbstractButton>(kIdOk)->click();
  });
  EXPECT_EQ(dialog.DoModal(), kIdOk);
  EXPECT_EQ(dialog.Latitude(), 0.0);
  EXPECT_EQ(dialog.Longitude(), -120.125);
  EXPECT_EQ(dialog.Enabled(), 0);
}

}  // namespace
}  // namespace quillon::ui
