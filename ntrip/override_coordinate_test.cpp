#include "ntrip/override_coordinate.h"

#include <gtest/gtest.h>

#include <clocale>

namespace quillon {
namespace {

TEST(OverrideCoordinateTest, TextsReadAsTheCLibraryReadsThemInEveryLocale) {
  const std::pair<std::u16string, double> cases[] = {
      {u"35.5", 35.5},        {u"  -122.25xyz", -122.25},
      {u"+7", 7.0},           {u"1e2", 100.0},
      {u"abc", 0.0},          {u"", 0.0},
      {u"+-1", 0.0},          {u"inf", 0.0},
      {u"nan", 0.0},          {u"1e999", 0.0},
      {u"52,5", 52.0},         // a comma ends it
      {u"\u0661\u0662", 0.0},  // not ASCII digits
  };
  // The user's locale may write "35,5"; the dialog's texts do not follow it.
  const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(CoordinateValue(text), value) << std::string(text.begin(), text.end());
  }
  EXPECT_EQ(CoordinateText(35.5), "35.500000");
  EXPECT_EQ(CoordinateText(-0.1234567), "-0.123457");
  EXPECT_EQ(CoordinateText(0.0), "0.000000");
  EXPECT_EQ(CoordinateValue(u"12.3456789"), 12.3456789);
  if (previous != nullptr) std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
}  // namespace quillon
