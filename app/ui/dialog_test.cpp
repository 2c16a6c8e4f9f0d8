#include "app/ui/dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <vector>

#include "app/ui/child_layout.h"
#include "app/ui/combo.h"
#include "app/ui/dialog_units.h"
#include "app/ui/handheld.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/wait.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using quillon::ui::testing::WhenIdle;

class ProbeDialog : public Dialog {
 public:
  ProbeDialog() : Dialog({QStringLiteral("Probe")}) {
    AddControl<QLineEdit>(1008, QRect(50, 29, 67, 14));
    AddControl<QPushButton>(1022, QRect(3, 122, 39, 14), QStringLiteral("Discover"));
    AddControl<QLabel>(1021, QRect(3, 10, 40, 8), QStringLiteral("00:00:00"));
    AddControl<QCheckBox>(1020, QRect(3, 108, 121, 10), QStringLiteral("Tick"));
    AddEditableCombo(*this, 1010, QRect(45, 33, 90, 55), 19)->addItems({"first", "second"});
    AddControl<QPushButton>(kIdOk, QRect(49, 122, 39, 14), QStringLiteral("OK"));
    AddControl<QPushButton>(kIdCancel, QRect(97, 122, 39, 14), QStringLiteral("Cancel"));
  }

  std::vector<int> commands, selectionChanges, systemKeys, ticks;
  int destroyed = 0;
  QRect geometryAtInit;

 protected:
  bool OnInitDialog() override {
    geometryAtInit = geometry();
    return true;
  }
  void OnCommand(int id) override {
    commands.push_back(id);
    Dialog::OnCommand(id);
  }
  void OnSelChange(int id) override { selectionChanges.push_back(id); }
  void OnSysKeyDown(int key) override { systemKeys.push_back(key); }
  void OnTimer(int id) override { ticks.push_back(id); }
  void OnDestroy() override { ++destroyed; }
};

// A Ctrl or Alt key reaches OnSysKeyDown once, after its usual handling, from any control.
TEST(DialogTest, SelectionChangesTickBoxesAndSystemKeysAreRoutedAndControlHelpersWorkById) {
  ProbeDialog dialog;
  WhenIdle([&] {
    auto* list = dialog.Control<QComboBox>(1010);
    list->setCurrentIndex(0);  // by the program: no notification
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);  // by the user
    dialog.Control<QCheckBox>(1020)->click();
    dialog.Control<QPushButton>(1022)->click();
    auto* edit = dialog.Control<QLineEdit>(1008);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_G, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_G, Qt::AltModifier);
    QTest::keyClick(edit, Qt::Key_G);
    QTest::keyClick(&dialog, Qt::Key_H, Qt::ControlModifier);  // the dialog itself has the key
    EXPECT_TRUE(dialog.systemKeys.empty());  // posted, not called inside the key's handling
    WhenIdle([&] { dialog.EndDialog(kIdCancel); });
  });
  dialog.DoModal();
  EXPECT_EQ(dialog.selectionChanges, std::vector<int>{1010});
  EXPECT_EQ(dialog.Control<QComboBox>(1010)->currentIndex(), 1);
  EXPECT_EQ(dialog.commands, (std::vector<int>{1020, 1022}));
  EXPECT_EQ(dialog.systemKeys, (std::vector<int>{71, 71, 72}));
  EXPECT_EQ(dialog.ItemText(1008), QStringLiteral("g"));  // only the plain key typed
  auto* edit = dialog.Control<QLineEdit>(1008);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->geometry(), DialogUnitsToPixels(QRect(50, 29, 67, 14), dialog.BaseUnits()));
  EXPECT_EQ(dialog.Control<QPushButton>(1008), nullptr);  // wrong type
  EXPECT_EQ(dialog.Item(4711), nullptr);
  EXPECT_THROW(dialog.ItemText(4711), std::out_of_range);
  dialog.LimitText(1008, 3);
  dialog.SetItemText(1008, QStringLiteral("abcdef"));
  EXPECT_EQ(dialog.ItemText(1008), QStringLiteral("abc"));
  // A combo box's selection as the handheld's lists have it: outside the list or typed over, none.
  dialog.SetCurSel(1010, 1);
  EXPECT_EQ(std::pair(dialog.GetCurSel(1010), dialog.ItemText(1010)),
            std::pair(1, QString("second")));
  dialog.SetItemText(1010, QStringLiteral("typed"));
  EXPECT_EQ(dialog.GetCurSel(1010), -1);
  dialog.SetCurSel(1010, 2);
  EXPECT_EQ(std::pair(dialog.GetCurSel(1010), dialog.ItemText(1010)), std::pair(-1, QString()));
}

TEST(DialogTest, ADialogFillsTheMainWindowAndWhatItCoversTakesNoInput) {
  QMainWindow frame;
  frame.menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&About"));
  auto* view = new QLineEdit(&frame);
  frame.setCentralWidget(view);
  frame.resize(kHandheldScreen);
  frame.show();
  QApplication::setActiveWindow(&frame);
  view->setFocus();
  SetMainWindow(&frame);
  ProbeDialog first, second;
  std::vector<bool> enabledUnder;  // menu, view, first dialog
  bool focusInFirst = false;
  QRect afterResize;
  WhenIdle([&] {
    focusInFirst = first.isAncestorOf(QApplication::focusWidget());
    frame.resize(300, 400);
    afterResize = first.geometry();
    WhenIdle([&] {
      enabledUnder = {frame.menuBar()->isEnabled(), view->isEnabled(), first.isEnabled()};
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // ends the second
      if (second.isVisible()) second.EndDialog(kIdOk);  // Escape went astray: fail, not hang
    });
    EXPECT_EQ(second.DoModal(), kIdCancel);
    EXPECT_TRUE(first.isEnabled());
    first.TitleOkButton()->click();
  });
  EXPECT_EQ(first.DoModal(), kIdOk);
  SetMainWindow(nullptr);
  EXPECT_EQ(first.geometryAtInit, QRect(QPoint(0, 0), kHandheldScreen));
  EXPECT_EQ(enabledUnder, std::vector<bool>(3, false));
  EXPECT_TRUE(focusInFirst);
  EXPECT_EQ(afterResize, QRect(0, 0, 300, 400));
  EXPECT_TRUE(frame.menuBar()->isEnabled() && view->isEnabled());
}

// Inside the main window, where Qt keeps no default button, as in a window of its own.
TEST(DialogTest, EnterPressesTheFocusedButtonOrTheDefaultOneAndTabReachesTheTitleRowsOk) {
  QMainWindow frame;
  frame.resize(kHandheldScreen);
  frame.show();
  QApplication::setActiveWindow(&frame);
  SetMainWindow(&frame);
  const struct {
    std::vector<int> focused;  // in turn, Enter on the last one
    std::vector<int> commands;
  } cases[] = {
      {{kIdCancel, 1008}, {kIdOk}}, {{1010}, {kIdOk}}, {{1020}, {kIdOk}}, {{1022}, {1022}},
      {{kIdCancel}, {kIdCancel}},
  };
  for (const auto& c : cases) {
    ProbeDialog dialog;
    WhenIdle([&] {
      for (const int id : c.focused) dialog.Item(id)->setFocus();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      if (dialog.isVisible()) dialog.EndDialog(kIdCancel);
    });
    dialog.DoModal();
    EXPECT_EQ(dialog.commands, c.commands) << c.focused.back();
  }
  ProbeDialog tabbed;
  QWidget* afterTab = nullptr;
  WhenIdle([&] {
    tabbed.Item(kIdCancel)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    afterTab = QApplication::focusWidget();
    tabbed.EndDialog(kIdCancel);
  });
  tabbed.DoModal();
  EXPECT_EQ(afterTab, tabbed.TitleOkButton());
  Dialog bare({QStringLiteral("About")});  // no button but the title row's
  WhenIdle([&] {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    if (bare.isVisible()) bare.EndDialog(kIdCancel);
  });
  EXPECT_EQ(bare.DoModal(), kIdOk);
  SetMainWindow(nullptr);
}

// A hold (a wait or a worker's stop) must not be ended under it; ticks coalesce afterwards.
TEST(DialogTest, WhileTheThreadIsHeldClosingIsRefusedAndKeysAndTicksWaitForTheEnd) {
  for (const std::uint32_t startTick : {1000u, 0xFFFFF000u}) {
    ProbeDialog dialog;
    dialog.SetTimer(1, 60'000);
    dialog.SetTimer(2, 60'000);
    quillon::testing::VirtualClock clock(startTick);
    bool ranWhileHeld = false, visibleAfterHeldClose = false;
    std::size_t handledDuringHold = 1;
    WhenIdle([&] {
      QTest::keyClick(&dialog, Qt::Key_G, Qt::ControlModifier);
      WhenIdle([&] {
        ranWhileHeld = UiThreadHeld();
        dialog.close();
        for (int i = 0; i < 3; ++i) dialog.DeliverTick(1);
        dialog.DeliverTick(2);
        dialog.KillTimer(2);  // a timer stopped meanwhile does not tick afterwards
      });
      WaitPainted(clock, 4000);
      EXPECT_GE(clock.Elapsed(), 4000u);
      EXPECT_LT(clock.Elapsed(), 4100u);
      visibleAfterHeldClose = dialog.isVisible();
      handledDuringHold = dialog.systemKeys.size() + dialog.ticks.size();
      QApplication::processEvents();
      dialog.DeliverTick(1);  // not held: at once
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_TRUE(ranWhileHeld);
    EXPECT_FALSE(UiThreadHeld());
    EXPECT_TRUE(visibleAfterHeldClose);
    EXPECT_EQ(handledDuringHold, 0u);
    EXPECT_EQ(dialog.systemKeys, std::vector<int>{71});
    EXPECT_EQ(dialog.ticks, (std::vector<int>{1, 1}));
    dialog.Create();  // DestroyWindow stops the timers and runs once
    dialog.DestroyWindow();
    dialog.DestroyWindow();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.IsTimerSet(1));
    EXPECT_EQ(dialog.destroyed, 1);
  }
}

// Rounded half up, away from zero for a move upwards: the BASE button's 37 * 6 / 4 = 55.5 -> 56.
TEST(DialogGeometryTest, UnitsRoundHalfUpAndChildHelpersTakeTheFixedTwoPixelsOff) {
  const std::pair<QRect, QRect> unitsAndPixels[] = {{{40, 5, 37, 37}, {60, 8, 56, 60}},
                                                    {{1, 4, 2, 3}, {2, 7, 3, 5}},
                                                    {{0, -5, 0, 0}, {0, -8, 0, 0}}};
  for (const auto& [units, pixels] : unitsAndPixels) {
    EXPECT_EQ(DialogUnitsToPixels(units, {6, 13}), pixels) << units.x() << "," << units.y();
  }
  QWidget window, form(&window), onForm(&form);
  window.setGeometry(200, 100, 240, 320);
  form.setGeometry(7, 9, 200, 200);
  onForm.setGeometry(30, 40, 50, 20);
  window.show();
  MoveChildBy(&onForm, 4, -15);
  EXPECT_EQ(onForm.geometry(), QRect(32, 25, 50, 20));
  EXPECT_TRUE(GrowChildBy(&onForm, 12, 6));
  EXPECT_EQ(onForm.geometry(), QRect(32, 25, 60, 26));
}

// Logical pixels at the scale given: QT_SCALE_FACTOR=2 on 800 x 600 leaves 400 x 300.
TEST(DialogGeometryTest, AScaleThatWouldNotFitTheScreenIsBroughtDownToOneThatDoes) {
  const struct {
    double scale;
    QSize available;
    double fitted;
  } cases[] = {{2.0, {400, 300}, 1.7},
               {2.0, {960, 540}, 2.0},
               {3.0, {400, 300}, 2.55},
               {2.0, {200, 800}, 1.65},
               {1.5, {200, 200}, 1.0}};
  for (const auto& c : cases) {
    EXPECT_NEAR(FittedScale(c.scale, c.available), c.fitted, 1e-9) << c.available.height();
  }
}

}  // namespace
}  // namespace quillon::ui
