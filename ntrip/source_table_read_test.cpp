#include "ntrip/source_table_read.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>

#include "ntrip/requests.h"
#include "ntrip/source_table_text.h"
#include "testing/hooked_clock.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using testing::HookedClock;

// One attempt on a socket pair: the test plays the caster on fds[1].
struct Attempt {
  Attempt() {
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    socket.Set(fds[0]);
    stream.emplace(socket);
  }
  ~Attempt() { close(fds[1]); }
  void CasterWrites(std::string_view bytes) {
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  TableRead Read(TableStatus accepted = TableStatus::kSourceTable,
                 std::size_t limit = kReplyStoreLimit, std::string* fault = nullptr) {
    return ReadSourceTable(*stream, store, kSourceTableRequest, accepted, clock, limit, fault);
  }

  int fds[2] = {-1, -1};
  CasterSocket socket;
  std::optional<PlainCasterStream> stream;
  HookedClock clock{20};
  std::string store = "left from before";
};

// A table that ends badly keeps its whole lines and is over without waiting out the window.
TEST(ReadSourceTable, JudgesHowTheAnswerEnds) {
  const std::string v1 = "SOURCETABLE 200 OK\r\n\r\n";
  const std::string http = "HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n";
  const std::string a = "STR;A;x;\r\n";
  const std::string b = "STR;B;y;\r\n";
  const std::string end = "ENDSOURCETABLE\r\n";
  const std::string chunked = http + "Transfer-Encoding: chunked\r\n\r\n";
  const auto first = TableStatus::kSourceTable;
  const auto fallback = TableStatus::kSourceTableOrHttp;
  const struct {
    std::string sent;
    bool closes;
    TableStatus accepted;
    TableRead result;
    std::string kept;
    std::string said;
    std::uint64_t ms = kFirstReadDelayMs;  // the virtual time it takes, to a read step
  } cases[] = {
      // A silent caster holds it only for the window.
      {"", false, first, TableRead::kNoReply, "", "The caster sent no reply.",
       kFirstReadDelayMs + kTableWindowMs},
      {v1 + a + "STR;B", false, first, TableRead::kTimedOut, v1 + a,
       "The source table did not end within 10 seconds.", kFirstReadDelayMs + kTableWindowMs},
      // Read up to the NUL and no further: the line it cut and everything behind are dropped.
      {v1 + a + "STR;B\0;y;\r\n"s + b + end, false, first, TableRead::kNulByte, v1 + a,
       "The source table held a NUL byte: it was read up to there."},
      {v1 + a + end + "\0\0"s, true, first, TableRead::kComplete, v1 + a + end, ""},
      // An HTTP answer's body ends after Content-Length bytes (20 here), whatever follows.
      {http + "Content-Length: 20\r\n\r\n" + a + b + "STR;C;", false, fallback,
       TableRead::kComplete, http + "Content-Length: 20\r\n\r\n" + a + b, ""},
      {http + "content-length:  30 \r\n\r\n" + a + "STR;B", true, fallback, TableRead::kClosedEarly,
       http + "content-length:  30 \r\n\r\n" + a,
       "The caster closed the connection before the end of its source table."},
      // Without a length it ends at "ENDSOURCETABLE" or at the close.
      {http + "\r\n" + a + b, true, fallback, TableRead::kComplete, http + "\r\n" + a + b, ""},
      {http + "\r\n" + a + end, false, fallback, TableRead::kComplete, http + "\r\n" + a + end, ""},
      // The plain request is answered with a table only by the version 1 status.
      {http + "\r\n" + a + b, true, first, TableRead::kNotATable, http + "\r\n" + a + b,
       "The caster replied \"HTTP/1.1 200 OK\"."},
      {"HTTP/1.0 401 Unauthorized\r\n\r\n", true, first, TableRead::kLoginNeeded,
       "HTTP/1.0 401 Unauthorized\r\n\r\n", "The caster replied \"HTTP/1.0 401 Unauthorized\"."},
      {"HTTP/1.1 4011 Odd\r\n\r\n", true, fallback, TableRead::kNotATable,
       "HTTP/1.1 4011 Odd\r\n\r\n", "The caster replied \"HTTP/1.1 4011 Odd\"."},
      // A chunked body is kept decoded behind the head, up to its last chunk.
      {chunked + "4\r\nSTR;\r\n6\r\nA;x;\r\n\r\n" + "0\r\n\r\nSTR;C;", false, fallback,
       TableRead::kComplete, chunked + a, ""},
      {chunked + "a\r\nSTR;A;x;\r\n\r\nzz\r\nSTR;B;y;\r\n", false, fallback, TableRead::kBadBody,
       chunked + a,
       "The caster sent a malformed chunk size: \"zz\" is no hexadecimal number. The source "
       "table was read up to there."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    Attempt attempt;
    attempt.CasterWrites(c.sent);
    if (c.closes) shutdown(attempt.fds[1], SHUT_WR);
    std::string fault;
    const TableRead result = attempt.Read(c.accepted, kReplyStoreLimit, &fault);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(attempt.store, c.kept);
    EXPECT_EQ(DescribeTableRead(result, attempt.store, kReplyStoreLimit, fault), c.said);
    EXPECT_EQ(TableArrived(result), result != TableRead::kNotATable &&
                                        result != TableRead::kLoginNeeded &&
                                        result != TableRead::kNoReply);
    EXPECT_GE(attempt.clock.Elapsed(), c.ms);
    EXPECT_LE(attempt.clock.Elapsed(), c.ms + kReadStepMs);
  }
  // A store over its limit ends the read at a line's end.
  Attempt attempt;
  const std::string table =
      "SOURCETABLE 200 OK\r\n\r\n" + MakeSourceTable(NumberedMountPoints(3000));
  std::thread caster([&] { send(attempt.fds[1], table.data(), table.size(), MSG_NOSIGNAL); });
  EXPECT_EQ(attempt.Read(TableStatus::kSourceTable, table.size() / 2), TableRead::kTooLarge);
  const std::string& store = attempt.store;
  EXPECT_GE(store.size(), table.size() / 2 - 200);
  EXPECT_LE(store.size(), table.size() / 2);
  EXPECT_TRUE(table.starts_with(store) && store.ends_with("\r\n"));
  EXPECT_EQ(DescribeTableRead(TableRead::kTooLarge, store, 100'000),
            "The source table is larger than 100000 bytes: it was read that far.");
  EXPECT_EQ(DescribeTableRead(TableRead::kTooLarge, store),
            "The source table is larger than 4 MB: it was read that far.");
  shutdown(attempt.fds[0], SHUT_RD);  // lets the caster's write end
  caster.join();
}

}  // namespace
}  // namespace quillon
