// The Rover dialog against the in-process caster and a simulated receiver, on the virtual clock.
#include "app/ui/zep_interlink_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <functional>

#include "app/ui/gga_override_dlg.h"
#include "app/ui/qt_message_sink.h"
#include "app/ui/testing/mode_dlg_fixture.h"
#include "app/ui/testing/screenshot.h"
#include "app/ui/wait.h"
#include "ntrip/source_table_text.h"

namespace quillon::ui {
namespace {

using namespace quillon::ui::testing;

// Presses G with `modifier` in `control` and runs `inOverride` in the override dialog it opens.
void OpenOverride(QWidget* control, Qt::KeyboardModifier modifier,
                  const std::function<void(CGgaOverrideDlg&)>& inOverride) {
  QTest::keyClick(control, Qt::Key_G, modifier);
  WhenIdle([&] {
    auto* override = VisibleDialog<CGgaOverrideDlg>();
    ASSERT_NE(override, nullptr);
    inOverride(*override);
    if (override->isVisible()) Click(*override, kIdCancel);
  });
  QApplication::processEvents();
}

class RoverDlgTest : public testing::ModeDlgFixture {
 protected:
  void EnterCaster(CZEPInterlinkDlg& d, bool connect = false) {
    ModeDlgFixture::EnterCaster(d);
    if (!connect) return;
    Click(d, kIdConnect);
    ASSERT_TRUE(caster.WaitForLoggedInClients(1, kRealLimit));
  }

  RoverStatus status;
  QtMessageSink sink;  // real boxes, answered by the test's hook
  ModeServices windowed{clock, sink, bluetooth, devices, link, folder.Path(), std::nullopt};
};

// Disconnect ends a worker hanging in its connect or waiting on a box the user left open.
TEST_F(RoverDlgTest, DisconnectEndsAWorkerInItsConnectOrWaitingOnItsBox) {
  int shown = 0;
  sink.SetBoxShownHook([&](QMessageBox&) { ++shown; });
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
}

// A failure's box comes after the fetch: one asked for during it could not be answered.
TEST_F(RoverDlgTest, SourceFillsTheMountPointsFromTheTableAndKeepsThemWithoutNames) {
  QStringList shown;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    EXPECT_FALSE(UiThreadHeld()) << "a box the user cannot answer: " << box.text().toStdString();
    shown << box.text();
    const bool question = box.standardButtons().testFlag(QMessageBox::Yes);
    box.button(question ? QMessageBox::Yes : QMessageBox::Ok)->click();
  });
  caster.SetSourceTable(MakeSourceTable({"MP1", "MP2"}));
  CZEPInterlinkDlg dialog(windowed, status);
  Run(dialog, [&] {
    EnterCaster(dialog);
    const auto* list = dialog.Control<QComboBox>(kIdMountPointList);
    Click(dialog, kIdSource);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), "MP2");
    EXPECT_EQ(dialog.ItemText(kIdMountPointList), "MP1");
    // A table cut off by the caster gives the names that came, without a box.
    caster.SetSourceTable(MakeSourceTable({"MP3", "MP4"}) + "STR;MP5;x\r\nSTR;MP");
    caster.Script(CasterBehaviour::kTableCut);
    Click(dialog, kIdSource);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(2), "MP5");
    caster.SetSourceTable("CAS;caster.example.com;2101;Demo;;0;DEU;52.5;13.4;\r\n");
    Click(dialog, kIdSource);
    caster.Stop();  // nobody answers: the fetch fails with its box, after it is over
    Click(dialog, kIdSource);
    EXPECT_EQ(list->count(), 3);
  });
  ASSERT_EQ(shown.size(), 5);
  EXPECT_TRUE(shown[0].startsWith("You have chosen to download the source table"));
  EXPECT_TRUE(shown[4].startsWith("Connection Error"));
  EXPECT_EQ(caster.ConnectionCount(), 3u);
}

// Alt+G shows the stored values and Ctrl+H nothing; during the session Ctrl+G changes the
// position the worker sends upstream ("abc" is 0), and saves it.
TEST_F(RoverDlgTest, TheOverrideWorksIdleAndRunningAndClosingTheMainWindowAsksNoKeepsIt) {
  const auto app = StartProgram();
  CMainFrame& frame = *app->MainFrame();
  bool closedWhileRunning = true, closedAtTheEnd = false;
  RunFromChooser<CZEPInterlinkDlg>(frame.View()->RoverButton(), [&](CZEPInterlinkDlg& dialog) {
    OpenOverride(dialog.Item(kIdConnect), Qt::AltModifier, [&](CGgaOverrideDlg& override) {
      EXPECT_EQ(override.ItemText(kIdLatitude), "0.000000");
      EXPECT_FALSE(override.Item(kIdLatitude)->isEnabled());
      SaveScreenshot(override, QStringLiteral("gga_override"));
    });
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_H, Qt::ControlModifier);
    EnterCaster(dialog, true);
    OpenOverride(dialog.Item(kIdConnect), Qt::ControlModifier, [](CGgaOverrideDlg& override) {
      Click(override, kIdEnableOverride);
      EXPECT_TRUE(override.Item(kIdLongitude)->isEnabled());
      override.SetItemText(kIdLatitude, QStringLiteral("abc"));
      override.SetItemText(kIdLongitude, QStringLiteral("-120.25"));
      Click(override, kIdOk);
    });
    receiver.Emit(MakeGgaSentence(1'700'000'000, 52.52, 13.40));
    EXPECT_TRUE(caster.WaitForReceivedFromClients(60, kRealLimit));
    EXPECT_NE(caster.ReceivedFromClients().find(",0000.00000,N,12015.00000,W"), std::string::npos);
    boxes.ScriptAnswers({MessageAnswer::kNo, MessageAnswer::kYes});
    closedWhileRunning = frame.close();
    EXPECT_EQ(caster.LoggedInClients(), 1);  // the session goes on
    ExpectView(dialog, true);
    closedAtTheEnd = frame.close();
  });
  EXPECT_FALSE(closedWhileRunning);
  EXPECT_TRUE(closedAtTheEnd);
  EXPECT_TRUE(caster.WaitForClosed(0, kRealLimit));
  const auto shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, u"Are you sure you wish to terminate the connection and exit?");
  EXPECT_EQ(shown[1].buttons, MessageButtons::kYesNo);
  const RoverSettings saved = Saved<RoverSettings>();
  EXPECT_EQ(saved.overrideLatitude.load(), 0.0);
  EXPECT_EQ(saved.overrideLongitude.load(), -120.25);
  EXPECT_EQ(saved.overrideEnabled.load(), 1);
}

// The keys reach the dialog only through its control that has the keyboard: after the override
// that is the one before, or Connect when that one can no longer take it.
TEST_F(RoverDlgTest, AfterTheOverrideTheKeyboardIsBackSoItsKeysWorkAgainAtOnce) {
  const auto app = StartProgram();
  RunFromChooser<CZEPInterlinkDlg>(app->MainFrame()->View()->RoverButton(), [&](auto& dialog) {
    QApplication::setActiveWindow(app->MainFrame());  // as the desktop makes it when it starts
    const struct {
      int had;
      Qt::KeyboardModifier modifier;
      bool disabledMeanwhile;
      int gets;
    } cases[] = {
        {kIdConnect, Qt::AltModifier, false, kIdConnect},
        {kIdPassword, Qt::ControlModifier, false, kIdPassword},
        {kIdUserName, Qt::AltModifier, true, kIdConnect},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.had);
      dialog.Item(c.had)->setFocus();
      for (int press = 0; press < 2; ++press) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        OpenOverride(focused, c.modifier, [&](CGgaOverrideDlg&) {
          if (c.disabledMeanwhile) dialog.EnableItem(c.had, false);
        });
        EXPECT_EQ(QApplication::focusWidget(), dialog.Item(c.gets)) << press;
      }
      dialog.EnableItem(c.had, true);
    }
  });
}

TEST_F(RoverDlgTest, ASessionCountsTheBytesDisconnectEndsItAndRoverAgainShowsItsCaster) {
  const auto app = StartProgram();
  QStringList shown;  // the first start's texts are ModeDlgTest's
  for (const bool first : {true, false}) {
    RunFromChooser<CZEPInterlinkDlg>(app->MainFrame()->View()->RoverButton(), [&](auto& dialog) {
      shown = {dialog.ItemText(kIdAddressList), dialog.ItemText(kIdPort),
               dialog.ItemText(kIdUserName), dialog.ItemText(kIdMountPointList)};
      if (first) {
        const auto beforeConnect = clock.Elapsed();
        EnterCaster(dialog, true);
        EXPECT_GE(clock.Elapsed() - beforeConnect, 2000u);
        ExpectView(dialog, true);
        // The receiver's bytes go upstream only from the relay loop: corrections sent after
        // they arrive cannot fall into the login reply, whose trailing bytes are not relayed.
        receiver.Emit("$GPTXT,01,01,02,READY*00\r\n");
        ASSERT_TRUE(caster.WaitForReceivedFromClients(1, kRealLimit));
        ASSERT_EQ(caster.SendToClients(std::string(1500, '\xD3')), 1);
        ASSERT_TRUE(receiver.WaitForReceived(1500, kRealLimit));
        EXPECT_EQ(ByteCountReaching(dialog, "1500"), "1500");
        SaveScreenshot(dialog, QStringLiteral("rover_running"));
        const auto beforeStop = clock.Elapsed();
        Click(dialog, kIdConnect);
        EXPECT_GE(clock.Elapsed() - beforeStop, 5000u);
        ExpectView(dialog, false);
        EXPECT_TRUE(caster.WaitForClosed(0, kRealLimit));
      }
      dialog.TitleOkButton()->click();
    });
  }
  EXPECT_EQ(shown, (QStringList{"127.0.0.1", QString::number(caster.Port()), "demo", "DEMO"}));
  EXPECT_EQ(Saved<RoverSettings>().hostCount, 1);  // remembered by the worker after the login
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
}  // namespace quillon::ui
