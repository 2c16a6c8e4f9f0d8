#include "app/ui/bluetooth_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <future>

#include "app/ui/handheld.h"
#include "app/ui/testing/qt_application.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using namespace quillon::ui::testing;

class BluetoothDlgTest : public ::testing::Test {
 protected:
  BluetoothDlgTest() { RememberedBluetoothPortSelection() = -1; }
  ~BluetoothDlgTest() override { RememberedBluetoothPortSelection() = -1; }

  static int Run(CBluetoothDlg& dialog, std::function<void()> act) {
    WhenIdle(std::move(act));
    return dialog.DoModal();
  }
  static QComboBox& Devices(Dialog& d) { return *d.Control<QComboBox>(kIdBluetoothDeviceList); }
  static QComboBox& Ports(Dialog& d) { return *d.Control<QComboBox>(kIdBluetoothPortList); }
  static QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
  }

  quillon::testing::VirtualClock clock_;
  quillon::testing::FakeBluetoothLib bluetooth_{clock_};
  quillon::testing::RecordingMessageSink sink_;
};

// List positions differ from library indices; a typed name must match exactly.
TEST_F(BluetoothDlgTest, OkRecordsTheLibraryIndexOfTheNameAndThePortChosen) {
  bluetooth_.SetDevices({{u"A"}, {u"B", false}, {u"C"}});
  bluetooth_.SelectDevice(1);
  CBluetoothDlg dialog(bluetooth_, sink_, nullptr, kSmallScreenHeight - 1);
  bool stayedOpen = false;
  const int result = Run(dialog, [&] {
    EXPECT_EQ(Items(Devices(dialog)), (QStringList{"A", "C"}));
    EXPECT_EQ(Devices(dialog).currentText(), "C");
    EXPECT_EQ(Items(Ports(dialog)), (QStringList{"XCOM2", "XCOM3"}));
    EXPECT_EQ(Ports(dialog).currentText(), "XCOM3");  // nothing remembered yet
    Ports(dialog).setCurrentIndex(0);
    Devices(dialog).setEditText("c");
    Click(dialog, kIdOk);
    stayedOpen = dialog.isVisible();
    Devices(dialog).setEditText("C");
    Click(dialog, kIdOk);
  });
  ASSERT_TRUE(stayedOpen && result == kIdOk && dialog.Chosen());
  EXPECT_EQ(std::pair(dialog.Choice().device, dialog.Choice().port), std::pair(2, 1));
  EXPECT_EQ(bluetooth_.CountCalls("SelectDevice(1)"), 2u);  // the test's own, then OK's
  ASSERT_EQ(sink_.Boxes().size(), 1u);
  EXPECT_EQ(sink_.Boxes()[0].text, u"Could not find any devices.");
  EXPECT_EQ(sink_.Boxes()[0].icon, MessageIcon::kNone);
  CBluetoothDlg again(bluetooth_, sink_, nullptr, kSmallScreenHeight);
  Run(again, [&] {
    testing::SaveScreenshot(again, QStringLiteral("bluetooth_selection"));
    EXPECT_EQ(Ports(again).currentText(), "XCOM2");
    Ports(again).setEditText("COM9");
    Click(again, kIdOk);
  });
  EXPECT_EQ(std::pair(again.Choice().device, again.Choice().port), std::pair(2, 0));
  EXPECT_EQ(RememberedBluetoothPortSelection(), -1);
  // Under 320 pixels of screen, MoveChildBy(0, -110) on the buttons; the lists stay.
  for (const int id : {kIdDiscover, kIdOk, kIdCancel, kIdBluetoothPortList}) {
    const QPoint moved = id == kIdBluetoothPortList ? QPoint() : QPoint(-2, -110);
    EXPECT_EQ(dialog.Item(id)->pos(), again.Item(id)->pos() + moved) << id;
  }
}

TEST_F(BluetoothDlgTest, DiscoveryDisablesTheControlsThenShowsTheNewListOrSaysItFailed) {
  bluetooth_.SetDevices({{u"Old"}});
  CBluetoothDlg dialog(bluetooth_, sink_);
  const int controls[] = {kIdOk, kIdCancel, kIdBluetoothPortList, kIdBluetoothDeviceList,
                          kIdDiscover};
  // The first discovery holds until the window has been looked at while it runs.
  std::promise<void> looked;
  auto lookedAt = looked.get_future();
  bluetooth_.WhileDiscovering(
      [&] { EXPECT_EQ(lookedAt.wait_for(std::chrono::seconds(10)), std::future_status::ready); });
  std::vector<bool> enabledMeanwhile;
  int listedMeanwhile = -1;
  Qt::CursorShape cursorMeanwhile = Qt::ArrowCursor;
  Run(dialog, [&] {
    WhenIdle([&] {
      for (const int id : controls) enabledMeanwhile.push_back(dialog.Item(id)->isEnabled());
      listedMeanwhile = Devices(dialog).count();
      if (const QCursor* shown = QApplication::overrideCursor()) cursorMeanwhile = shown->shape();
      looked.set_value();
    });
    bluetooth_.SetDiscovery(true, {{u"New 1"}, {u"Unreadable", false}, {u"New 2"}});
    Click(dialog, kIdDiscover);
    EXPECT_EQ(Items(Devices(dialog)), (QStringList{"New 1", "New 2"}));
    EXPECT_EQ(Devices(dialog).currentIndex(), 0);
    EXPECT_TRUE(sink_.Boxes().empty());
    bluetooth_.WhileDiscovering(nullptr);
    bluetooth_.SetDiscovery(false, {});
    Click(dialog, kIdDiscover);
    EXPECT_EQ(Devices(dialog).count(), 0);
    for (const int id : controls) EXPECT_TRUE(dialog.Item(id)->isEnabled()) << id;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Click(dialog, kIdCancel);
  });
  EXPECT_EQ(enabledMeanwhile, std::vector<bool>(5, false));
  EXPECT_EQ(listedMeanwhile, 0);
  EXPECT_EQ(cursorMeanwhile, Qt::WaitCursor);
  EXPECT_FALSE(dialog.Chosen());
  ASSERT_EQ(sink_.Boxes().size(), 1u);
  EXPECT_EQ(sink_.Boxes()[0].text, u"Discovery failed");
}

}  // namespace
}  // namespace quillon::ui
