#include "ntrip/ntrip_source_table.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
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
  struct Case {
    std::string text;
    std::vector<std::string> names;
  };
  const std::string name19(19, 'N');
  const std::vector<Case> cases = {
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
  for (const int index : {256, 257, -1}) {
    slot.fill('x');
    EXPECT_EQ(table.GetMountPoint(index, &slot), &slot);
    EXPECT_STREQ(slot.data(), "") << index;
  }
  // A new parse starts from an empty table.
  table.ParseSourceTable(MakeSourceTable({"ONE"}));
  EXPECT_EQ(Names(table), std::vector<std::string>{"ONE"});
  EXPECT_STREQ(table.GetMountPoint(1, &slot)->data(), "");
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
  bool Read(std::vector<char>& store) {
    return ReadSourceTable(fds_[0], store, kSourceTableRequest, clock_);
  }

  int fds_[2] = {-1, -1};
  HookedClock clock_{20};
  std::vector<char> store_ = std::vector<char>(kReplyStoreSize, 'x');
};

TEST_F(ReadSourceTableTest, SendsTheRequestAndGathersPiecesUntilTheEndMarker) {
  CasterWrites("SOURCETABLE 200 OK\r\n\r\nSTR;A;\r\n");
  clock_.beforeWait = [&](int wait) {
    if (wait == 2) CasterWrites("STR;B;\r\n");
    if (wait == 3) CasterWrites("STR;C;\r\nENDSOURCETABLE\r\n");
  };
  ASSERT_TRUE(Read(store_));
  CNtripSourceTable table;
  table.ParseSourceTable(std::string_view(store_.data(), store_.size()));
  EXPECT_EQ(Names(table), (std::vector<std::string>{"A", "B", "C"}));
  char sent[64] = {};
  ASSERT_GT(read(fds_[1], sent, sizeof sent), 0);
  EXPECT_EQ(std::string(sent), kSourceTableRequest);
}

TEST_F(ReadSourceTableTest, TwoSecondsBeforeTheFirstReadThenTenForTheTable) {
  std::uint64_t firstReadAt = 0;
  clock_.beforeWait = [&](int wait) {
    if (wait == 1) firstReadAt = clock_.Elapsed();
  };
  CasterWrites("SOURCETABLE 200 OK\r\n\r\nSTR;A;\r\n");
  EXPECT_FALSE(Read(store_));
  EXPECT_EQ(firstReadAt, kFirstReadDelayMs);
  EXPECT_GE(clock_.Elapsed(), kFirstReadDelayMs + kTableWindowMs);
  EXPECT_LE(clock_.Elapsed(), kFirstReadDelayMs + kTableWindowMs + kReadStepMs);
}

TEST_F(ReadSourceTableTest, ASilentCasterHoldsTheFirstReadOnlyForTheWindow) {
  EXPECT_FALSE(Read(store_));
  EXPECT_EQ(clock_.Elapsed(), kFirstReadDelayMs + kTableWindowMs);
}

TEST_F(ReadSourceTableTest, TheLastByteOfTheStoreStaysZero) {
  const std::string reply = "SOURCETABLE 200 OK\r\nSTR;A;\r\nENDSOURCETABLE";
  CasterWrites(reply);
  std::vector<char> roomy(reply.size() + 1, 'x');
  EXPECT_TRUE(Read(roomy));

  CasterWrites(reply);
  std::vector<char> exact(reply.size(), 'x');
  const std::uint64_t start = clock_.Elapsed();
  EXPECT_FALSE(Read(exact));  // the end marker's last letter has no room
  EXPECT_EQ(exact.back(), '\0');
  // A full store ends the wait at once: no more bytes can come in.
  EXPECT_LT(clock_.Elapsed() - start, kFirstReadDelayMs + kTableWindowMs);
}

}  // namespace
}  // namespace quillon
