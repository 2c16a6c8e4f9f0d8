#include "app/ui/child_layout.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

namespace quillon::ui {
namespace {

// A control at (10, 20) of its parent's client area, 50 x 30, with the parent's window at
// (100, 50) on the screen and the given border on every side.
struct Scene {
  int border;
  QRect parentWindow() const { return QRect(100, 50, 200, 300); }
  QRect childInClient() const { return QRect(10, 20, 50, 30); }
  QRect childOnScreen() const {
    return childInClient().translated(parentWindow().topLeft() + QPoint(border, border));
  }
};

TEST(ChildLayoutTest, MoveAndGrowAccountForTheParentsBorderAndTheFixedTwoPixels) {
  struct Case {
    int border, dx, dy;
    QPoint movedTo;  // in the parent's client coordinates
    QSize grownTo;
  };
  const Case cases[] = {
      // No border: 2 pixels to the left, 2 pixels narrower.
      {0, 0, 0, {8, 20}, {48, 30}},
      // A 2-pixel border: in place horizontally, 2 pixels down (and taller).
      {2, 0, 0, {10, 22}, {50, 32}},
      // The Bluetooth dialog's move on a small screen.
      {0, 0, -110, {8, -90}, {48, -80}},
      {2, 5, 3, {15, 25}, {55, 35}},
  };
  for (const auto& c : cases) {
    const Scene scene{c.border};
    const QPoint moved =
        MovedChildPosition(scene.childOnScreen(), scene.parentWindow(), c.dx, c.dy);
    EXPECT_EQ(moved, c.movedTo) << "border " << c.border << " d " << c.dx << "," << c.dy;
    const QRect grown = GrownChildRect(scene.childOnScreen(), scene.parentWindow(),
                                       scene.childInClient(), c.dx, c.dy);
    EXPECT_EQ(grown.topLeft(), scene.childInClient().topLeft());
    EXPECT_EQ(grown.size(), c.grownTo) << "border " << c.border << " d " << c.dx << "," << c.dy;
  }
}

TEST(ChildLayoutTest, OnAChildParentWithoutBorderTheControlMovesTwoPixelsLeftAndKeepsItsSize) {
  QWidget window;
  window.setGeometry(200, 100, 240, 320);
  QWidget form(&window);
  form.setGeometry(7, 9, 200, 200);
  QWidget control(&form);
  control.setGeometry(30, 40, 50, 20);
  window.show();

  MoveChildBy(&control, 0, 0);
  EXPECT_EQ(control.geometry(), QRect(28, 40, 50, 20));

  MoveChildBy(&control, 4, -15);
  EXPECT_EQ(control.geometry(), QRect(30, 25, 50, 20));

  EXPECT_TRUE(GrowChildBy(&control, 0, 0));
  EXPECT_EQ(control.geometry(), QRect(30, 25, 48, 20));
  EXPECT_TRUE(GrowChildBy(&control, 12, 6));
  EXPECT_EQ(control.geometry(), QRect(30, 25, 58, 26));
}

TEST(ChildLayoutTest, OnAFramedWindowTheBorderIsCountedIn) {
  QWidget window;
  window.setGeometry(200, 100, 240, 320);
  QWidget control(&window);
  control.setGeometry(30, 40, 50, 20);
  window.show();
  const int left = window.geometry().left() - window.frameGeometry().left();
  const int top = window.geometry().top() - window.frameGeometry().top();
  if (left != 2 || top != 2) {
    GTEST_SKIP() << "this platform's window frame is " << left << "," << top << ", not 2 pixels";
  }

  MoveChildBy(&control, 0, 0);
  EXPECT_EQ(control.geometry(), QRect(30, 42, 50, 20));
  EXPECT_TRUE(GrowChildBy(&control, 0, 0));
  EXPECT_EQ(control.geometry(), QRect(30, 42, 50, 22));
}

}  // namespace
}  // namespace quillon::ui
