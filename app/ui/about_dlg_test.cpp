#include "app/ui/about_dlg.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace quillon::ui {
namespace {

TEST(AboutDlgTest, TheBuildTextHasTheNumberAndTheDateOnTwoLines) {
  EXPECT_EQ(AboutBuildText("Mar  8 2010"), u"Build Number: 2\r\nBuild Date: Mar  8 2010");
  EXPECT_EQ(AboutBuildText("Dec 31 2099"), u"Build Number: 2\r\nBuild Date: Dec 31 2099");
  // The text is formatted into 256 units, terminator included.
  EXPECT_EQ(AboutBuildText(std::string(400, '9')).size(), 255u);
}

TEST(AboutDlgTest, TheBuildDateHasTheMonthTheSpacePaddedDayAndTheYear) {
  const std::string date(BuildDate());
  EXPECT_TRUE(std::regex_match(
      date, std::regex("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] [0-9]{4}")))
      << date;
}

}  // namespace
}  // namespace quillon::ui
