#include "ntrip/ntrip_source_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntrip/source_table_test_names.h"
#include "ntrip/source_table_text.h"

namespace quillon {
namespace {

using testing::Names;

TEST(ParseSourceTable, TakesTheFirstFieldOfEverySTRInReplyOrderUpTo256) {
  const std::string longest(kMaxMountPointBytes, 'N');
  const struct {
    std::string text;
    std::vector<std::string> names;
  } cases[] = {
      {MakeSourceTable({"ZULU", "ALPHA", "ZULU"}), {"ZULU", "ALPHA", "ZULU"}},
      {"CAS;x;STR;INSIDE;y\r\nNET;STR;z\r\nSTR;REAL;", {"INSIDE", "z", "REAL"}},
      // Too long for a slot: left out, not cut into another mount point's name.
      {"STR;" + longest + ";\r\nSTR;" + longest + "X;\r\nSTR;NEXT;", {longest, "NEXT"}},
      // No request line could carry these.
      {"STR;TAB\tBED;\r\nSTR;\x1b[2J;\r\nSTR;DEL\x7f;\r\nSTR;Zürich;", {"Zürich"}},
      // No ";" behind the name: it ends with its line or the text.
      {"STR;LAST", {"LAST"}},
      {"STR;AB\r\nSTR;CD;x\r\n", {"AB", "CD"}},
      {"STR;AB\nSTR;CD", {"AB", "CD"}},
      {std::string("STR;A;\0STR;B;", 13), {"A"}},  // nothing behind a NUL counts
      {"CAS;a;b\r\n", {}},
  };
  for (const auto& c : cases) {
    CNtripSourceTable table;
    EXPECT_TRUE(table.ParseSourceTable(c.text));
    EXPECT_EQ(Names(table), c.names) << c.text;
  }
  // 256 names are kept, and GetMountPoint never reads past them.
  CNtripSourceTable table;
  table.ParseSourceTable(MakeSourceTable(NumberedMountPoints(300)));
  EXPECT_EQ(Names(table), NumberedMountPoints(256));
  MountPointSlot slot;
  EXPECT_EQ(table.GetMountPoint(0, nullptr), nullptr);
  table.ParseSourceTable(MakeSourceTable({"ONE"}));  // a new parse starts from an empty table
  EXPECT_EQ(Names(table), std::vector<std::string>{"ONE"});
  for (const int index : {1, 256, -1}) {
    slot.fill('x');
    EXPECT_EQ(table.GetMountPoint(index, &slot), &slot);
    EXPECT_STREQ(slot.data(), "") << index;
  }
}

}  // namespace
}  // namespace quillon
