#include "common/strings.h"

#include <gtest/gtest.h>

#include "common/format.h"
#include "common/wide.h"

namespace quillon {
namespace {

TEST(FieldText, CutsWithoutSplittingASurrogatePair) {
  EXPECT_EQ(CutToUnits(u"a\U0001F4E1", 2), u"a");
  WideField<4> field{};
  SetFieldText(field, u"abcdef");
  EXPECT_EQ(FieldText(field), u"abc");
  field = {u'x', u'y', u'z', u'w'};  // no terminator: the whole field is the text
  EXPECT_EQ(FieldText(field), u"xyzw");
  SetFieldText(field, u"q");
  EXPECT_EQ(field, (WideField<4>{u'q'}));
}

TEST(FormatText, FillsNumbersAndTextsInOrder) {
  EXPECT_EQ(FormatText(LoadString(kStrRetryCountdown), {1, 15, 60, u"Reason"}),
            u"Retry attempt 1/15 in 60 seconds.\r\nReason");
  EXPECT_EQ(FormatText(u"%d%% %s %x %d", {7, u"a"}), u"7% a %x %d");
  // A %d with a text argument is left as it stands.
  EXPECT_EQ(FormatText(LoadString(kStrCouldNotCreateSocket), {11}), u"Could not create socket.");
  EXPECT_EQ(LoadString(61205), u"");  // no such entry
}

}  // namespace
}  // namespace quillon
