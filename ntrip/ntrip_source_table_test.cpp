#include "ntrip/ntrip_source_table.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "ntrip/requests.h"
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"

namespace quillon {
namespace {

using testing::HookedClock;

std::vector<std::string> Names(const CNtripSourceTable& table) {
  std::vector<std::string> names;
  for (int i = 0; i < table.GetCount(); ++i) {
    MountPointSlot slot;
    names.emplace_back(table.GetMountPoint(i, &slot)->data());
  }
  return names;
}

TEST(ParseSourceTable, TakesTheFirstFieldOfEverySTRInReplyOrder) {
  const std::string name19(19, 'N');
  const struct {
    std::string text;
    std::vector<std::string> names;
  } cases[] = {
      {MakeSourceTable({"ZULU", "ALPHA", "ZULU"}), {"ZULU", "ALPHA", "ZULU"}},
      {"CAS;x;STR;INSIDE;y\r\nNET;STR;z\r\nSTR;REAL;", {"INSIDE", "z", "REAL"}},
      // Too long for a slot: left out, not cut into another mount point's name.
      {"STR;" + name19 + ";\r\nSTR;" + name19 + "X;\r\nSTR;NEXT;", {name19, "NEXT"}},
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
}

TEST(ParseSourceTable, Keeps256NamesAndGetMountPointNeverReadsPastThem) {
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

// One attempt on a socket pair: the test plays the caster on fds_[1].
class ReadSourceTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
  void TearDown() override {
    close(fds_[0]);
    close(fds_[1]);
  }
  void CasterWrites(std::string_view bytes) {
    ASSERT_EQ(write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  TableRead Read(std::size_t limit = kReplyStoreLimit) {
    return ReadSourceTable(fds_[0], store_, kSourceTableRequest, clock_, limit);
  }

  int fds_[2] = {-1, -1};
  HookedClock clock_{20};
  std::string store_ = "left from before";
};

TEST_F(ReadSourceTableTest, TwoSecondsBeforeTheFirstReadThenTenForTheTable) {
  EXPECT_EQ(Read(), TableRead::kNoReply);  // a silent caster holds the read only for the window
  EXPECT_EQ(clock_.Elapsed(), kFirstReadDelayMs + kTableWindowMs);
  EXPECT_EQ(store_, "");

  std::uint64_t firstReadAt = 0;
  const std::uint64_t start = clock_.Elapsed();
  clock_.beforeWait = [&](int) {
    if (firstReadAt == 0) firstReadAt = clock_.Elapsed() - start;
  };
  CasterWrites("SOURCETABLE 200 OK\r\n\r\nSTR;A;\r\n");
  EXPECT_EQ(Read(), TableRead::kIncomplete);
  EXPECT_EQ(firstReadAt, kFirstReadDelayMs);
  EXPECT_GE(clock_.Elapsed() - start, kFirstReadDelayMs + kTableWindowMs);
  EXPECT_LE(clock_.Elapsed() - start, kFirstReadDelayMs + kTableWindowMs + kReadStepMs);
}

// A caster that never stops sending is cut off (a complete large table is fetched end to end).
TEST_F(ReadSourceTableTest, AStoreOverItsLimitEndsTheRead) {
  const std::string table =
      "SOURCETABLE 200 OK\r\n\r\n" + MakeSourceTable(NumberedMountPoints(3000));
  std::thread caster([&] { send(fds_[1], table.data(), table.size(), MSG_NOSIGNAL); });
  EXPECT_EQ(Read(table.size() / 2), TableRead::kTooLarge);
  EXPECT_GE(store_.size(), table.size() / 2);
  EXPECT_LT(store_.size(), table.size());
  EXPECT_EQ(DescribeTableRead(TableRead::kTooLarge, store_),
            "The source table is larger than 4 MB.");
  shutdown(fds_[0], SHUT_RD);  // lets the caster's write end
  caster.join();
}

}  // namespace
}  // namespace quillon
