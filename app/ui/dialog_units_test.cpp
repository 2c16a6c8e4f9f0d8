#include "app/ui/dialog_units.h"

#include <gtest/gtest.h>

namespace quillon::ui {
namespace {

TEST(DialogUnitsTest, ConvertsWithTheFontsBaseUnitsRoundingHalfUp) {
  const std::pair<QRect, QRect> unitsAndPixels[] = {
      // The chooser's BASE button on the handheld's 6 x 13 font: 37 * 6 / 4 = 55.5 -> 56.
      {{40, 5, 37, 37}, {60, 8, 56, 60}},
      // 1 * 6 / 4 = 1.5 -> 2, 4 * 13 / 8 = 6.5 -> 7, 3 * 13 / 8 = 4.875 -> 5.
      {{1, 4, 2, 3}, {2, 7, 3, 5}},
      // A move upwards (negative units) rounds away from zero like a positive one.
      {{0, -5, 0, 0}, {0, -8, 0, 0}},
  };
  for (const auto& [units, pixels] : unitsAndPixels) {
    EXPECT_EQ(DialogUnitsToPixels(units, {6, 13}), pixels) << units.x() << "," << units.y();
  }
}

}  // namespace
}  // namespace quillon::ui
