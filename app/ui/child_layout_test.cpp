#include "app/ui/child_layout.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace quillon::ui {
namespace {

// Both helpers take 2 pixels off horizontally, as the handheld's did.
TEST(ChildLayoutTest, MoveAndGrowTakeTheFixedTwoPixelsOff) {
  QWidget window;
  window.setGeometry(200, 100, 240, 320);
  QWidget form(&window);
  form.setGeometry(7, 9, 200, 200);
  QWidget onForm(&form);
  onForm.setGeometry(30, 40, 50, 20);
  window.show();
  MoveChildBy(&onForm, 4, -15);
  EXPECT_EQ(onForm.geometry(), QRect(32, 25, 50, 20));
  EXPECT_TRUE(GrowChildBy(&onForm, 0, 0));
  EXPECT_EQ(onForm.geometry(), QRect(32, 25, 48, 20));
  EXPECT_TRUE(GrowChildBy(&onForm, 12, 6));
  EXPECT_EQ(onForm.geometry(), QRect(32, 25, 58, 26));
}

}  // namespace
}  // namespace quillon::ui
