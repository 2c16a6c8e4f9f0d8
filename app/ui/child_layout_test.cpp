#include "app/ui/child_layout.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

namespace quillon::ui {
namespace {

// Both helpers take 2 pixels off horizontally and count in a framed parent's border.
TEST(ChildLayoutTest, MoveAndGrowAccountForTheParentsBorderAndTheFixedTwoPixels) {
  QWidget window;
  window.setGeometry(200, 100, 240, 320);
  QWidget form(&window);
  form.setGeometry(7, 9, 200, 200);
  QWidget onForm(&form);
  onForm.setGeometry(30, 40, 50, 20);
  QWidget onWindow(&window);
  onWindow.setGeometry(30, 40, 50, 20);
  window.show();
  MoveChildBy(&onForm, 0, 0);
  EXPECT_EQ(onForm.geometry(), QRect(28, 40, 50, 20));
  MoveChildBy(&onForm, 4, -15);
  EXPECT_EQ(onForm.geometry(), QRect(30, 25, 50, 20));
  EXPECT_TRUE(GrowChildBy(&onForm, 0, 0));
  EXPECT_EQ(onForm.geometry(), QRect(30, 25, 48, 20));
  EXPECT_TRUE(GrowChildBy(&onForm, 12, 6));
  EXPECT_EQ(onForm.geometry(), QRect(30, 25, 58, 26));
  const QPoint frame = window.geometry().topLeft() - window.frameGeometry().topLeft();
  if (frame != QPoint(2, 2)) {
    GTEST_SKIP() << "this platform's window frame is " << frame.x() << "," << frame.y();
  }
  MoveChildBy(&onWindow, 0, 0);
  EXPECT_EQ(onWindow.geometry(), QRect(30, 42, 50, 20));
  EXPECT_TRUE(GrowChildBy(&onWindow, 0, 0));
  EXPECT_EQ(onWindow.geometry(), QRect(30, 42, 50, 22));
}

}  // namespace
}  // namespace quillon::ui
