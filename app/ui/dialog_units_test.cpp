#include "app/ui/dialog_units.h"

#include <gtest/gtest.h>

#include "app/ui/handheld.h"

namespace quillon::ui {
namespace {

TEST(DialogUnitsTest, ConvertsWithTheFontsBaseUnitsRoundingHalfUp) {
  struct Case {
    QRect units;
    DialogBaseUnits base;
    QRect pixels;
  };
  const Case cases[] = {
      // The chooser's BASE button on the handheld's 6 x 13 font: 37 * 6 / 4 = 55.5 -> 56.
      {{40, 5, 37, 37}, {6, 13}, {60, 8, 56, 60}},
      // 1 * 6 / 4 = 1.5 -> 2, 4 * 13 / 8 = 6.5 -> 7, 3 * 13 / 8 = 4.875 -> 5.
      {{1, 4, 2, 3}, {6, 13}, {2, 7, 3, 5}},
      // A move upwards (negative units) rounds away from zero like a positive one.
      {{0, -5, 0, 0}, {6, 13}, {0, -8, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DialogUnitsToPixels(c.units, c.base), c.pixels)
        << c.units.x() << "," << c.units.y() << "," << c.units.width() << "," << c.units.height();
  }
}

// The dialogs of the program are up to 159 units wide (the About box) and 161 units tall (the
// Rover dialog); with the dialog font they must fit the handheld's screen below a title row.
TEST(DialogUnitsTest, TheWidestAndTallestTemplatesFitTheHandheldScreen) {
  const DialogBaseUnits base = BaseUnitsOf(DialogFont());
  EXPECT_GT(base.charWidth, 0);
  EXPECT_GT(base.charHeight, 0);
  const QRect widest = DialogUnitsToPixels(QRect(0, 0, 159, 111), base);
  const QRect tallest = DialogUnitsToPixels(QRect(0, 0, 152, 161), base);
  EXPECT_LE(widest.width(), kHandheldScreen.width());
  EXPECT_LE(tallest.height() + 2 * base.charHeight, kHandheldScreen.height());
}

}  // namespace
}  // namespace quillon::ui
