#include "platform/owner_name.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

TEST(OwnerNameTest, TheRealNameIsTheCommentUpToItsFirstCommaCutToTheOwnerRecord) {
  const struct {
    std::string gecos;
    std::u16string name;
  } cases[] = {
      {"Jane Surveyor,Room 4,+1 555 0100,,", u"Jane Surveyor"},
      {"Jane Surveyor", u"Jane Surveyor"},
      {",Room 4", u""},
      {"Zo\xC3\xAB M\xC3\xBCller,,", u"Zo\u00EB M\u00FCller"},  // UTF-8 whatever the locale
      {std::string(300, 'x'), std::u16string(kOwnerNameUnits, u'x')},
  };
  for (const auto& c : cases) EXPECT_EQ(RealNameFromGecos(c.gecos), c.name) << c.gecos;

  // An emoji (two UTF-16 units) across the limit is dropped whole.
  std::string emojiAcrossTheLimit(kOwnerNameUnits - 1, 'y');
  emojiAcrossTheLimit += "\xF0\x9F\x93\xA1";
  EXPECT_EQ(RealNameFromGecos(emojiAcrossTheLimit), std::u16string(kOwnerNameUnits - 1, u'y'));
}

}  // namespace
}  // namespace quillon
