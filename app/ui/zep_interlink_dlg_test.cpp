#include "app/ui/zep_interlink_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <functional>

#include "app/ui/gga_override_dlg.h"
#include "app/ui/qt_message_sink.h"
#include "app/ui/testing/mode_dlg_fixture.h"
#include "app/ui/wait.h"
#include "ntrip/nmea_test_sentences.h"
#include "ntrip/source_table_text.h"

namespace quillon::ui {
namespace {

using namespace quillon::ui::testing;
namespace nmea = quillon::testing::nmea;

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
    caster.SetSourceTable("CAS;caster.example.com;2101;Demo;;0;DEU;52.5;13.4;\r\n");
    Click(dialog, kIdSource);
    caster.Stop();  // nobody answers: the fetch fails with its box, after it is over
    Click(dialog, kIdSource);
    EXPECT_EQ(list->count(), 2);
  });
  ASSERT_EQ(shown.size(), 4);
  EXPECT_TRUE(shown[0].startsWith("You have chosen to download the source table"));
  EXPECT_TRUE(shown[3].startsWith("Connection Error"));
  EXPECT_EQ(caster.ConnectionCount(), 2u);
}

// Ctrl+G changes the position sent upstream ("abc" is 0); No when closing keeps the session.
TEST_F(RoverDlgTest, ASessionRelaysTakesTheOverrideAndItsCasterIsShownAtTheNextStart) {
  const auto app = StartProgram();
  CMainFrame& frame = *app->MainFrame();
  RunFromChooser<CZEPInterlinkDlg>(frame.View()->RoverButton(), [&](CZEPInterlinkDlg& dialog) {
    OpenOverride(dialog.Item(kIdConnect), Qt::AltModifier, [&](CGgaOverrideDlg& override) {
      EXPECT_EQ(override.ItemText(kIdLatitude), "0.000000");
      EXPECT_FALSE(override.Item(kIdLatitude)->isEnabled());
      SaveScreenshot(override, QStringLiteral("gga_override"));
    });
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_H, Qt::ControlModifier);
    const auto beforeConnect = clock.Elapsed();
    EnterCaster(dialog, true);
    EXPECT_GE(clock.Elapsed() - beforeConnect, 2000u);
    ExpectView(dialog, true);
    OpenOverride(dialog.Item(kIdConnect), Qt::ControlModifier, [](CGgaOverrideDlg& override) {
      Click(override, kIdEnableOverride);
      EXPECT_TRUE(override.Item(kIdLongitude)->isEnabled());
      override.SetItemText(kIdLatitude, QStringLiteral("abc"));
      override.SetItemText(kIdLongitude, QStringLiteral("-120.25"));
      Click(override, kIdOk);
    });
    // Sent after the upstream bytes arrive, corrections cannot fall into the login reply.
    receiver.Emit(MakeGgaSentence(1'700'000'000, 52.52, 13.40));
    ASSERT_TRUE(caster.WaitForReceivedFromClients(60, kRealLimit));
    EXPECT_NE(caster.ReceivedFromClients().find(",0000.00000,N,12015.00000,W"), std::string::npos);
    ASSERT_EQ(caster.SendToClients(std::string(1500, '\xD3')), 1);
    ASSERT_TRUE(receiver.WaitForReceived(1500, kRealLimit));
    EXPECT_EQ(ByteCountReaching(dialog, "1500"), "1500");
    receiver.Emit(nmea::Gga("GN", "4", "14", "0.8", "1.0", "2001"));
    EXPECT_EQ(ItemTextReaching(dialog, kIdSolution, "RTK fixed, 14 sats, age 1.0 s"),
              "RTK fixed, 14 sats, age 1.0 s");
    SaveScreenshot(dialog, QStringLiteral("rover_running"));
    boxes.ScriptAnswers({MessageAnswer::kNo});
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(caster.LoggedInClients(), 1);
    const auto beforeStop = clock.Elapsed();
    Click(dialog, kIdConnect);
    EXPECT_GE(clock.Elapsed() - beforeStop, 5000u);
    ExpectView(dialog, false);
    EXPECT_TRUE(caster.WaitForClosed(0, kRealLimit));
    dialog.TitleOkButton()->click();
  });
  QStringList shown;  // the first start's texts are ModeDlgTest's
  bool closed = false;
  RunFromChooser<CZEPInterlinkDlg>(frame.View()->RoverButton(), [&](auto& dialog) {
    shown = {dialog.ItemText(kIdAddressList), dialog.ItemText(kIdPort),
             dialog.ItemText(kIdUserName), dialog.ItemText(kIdMountPointList)};
    closed = frame.close();
  });
  EXPECT_TRUE(closed);
  EXPECT_EQ(shown, (QStringList{"127.0.0.1", QString::number(caster.Port()), "demo", "DEMO"}));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, u"Are you sure you wish to terminate the connection and exit?");
  EXPECT_EQ(boxes.Boxes()[0].buttons, MessageButtons::kYesNo);
  const RoverSettings saved = Saved<RoverSettings>();
  EXPECT_EQ(saved.hostCount, 1);
  EXPECT_EQ(saved.overrideLatitude.load(), 0.0);
  EXPECT_EQ(saved.overrideLongitude.load(), -120.25);
  EXPECT_EQ(saved.overrideEnabled.load(), 1);
}

// Keys reach the dialog through its focused control: after the override, the one before or Connect.
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

}  // namespace
}  // namespace quillon::ui
