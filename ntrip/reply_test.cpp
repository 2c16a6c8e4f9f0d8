#include "ntrip/reply.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

using namespace std::string_literals;

TEST(ReplyContains, JudgesCasterAnswersByExactToken) {
  const struct {
    std::string received;
    std::string_view token;
    bool accepted;
  } cases[] = {
      {"ICY 200 OK\r\n", kClientSuccessToken, true},
      {"ICY 200 OK\r\n\xd3\x00\x13", kClientSuccessToken, true},  // data behind the token
      {"\r\nICY 200 OK\r\n", kClientSuccessToken, true},          // anywhere, not only at start
      {"HTTP/1.1 200 OK\r\nContent-Type: gnss/data\r\n\r\n", kClientSuccessToken, false},
      {"ICY 200 OK", kClientSuccessToken, false},  // the CR LF belongs to it
      {"icy 200 ok\r\n", kClientSuccessToken, false},
      {"SOURCETABLE 200 OK\r\nSTR;MP;x\r\nENDSOURCETABLE\r\n", kClientSuccessToken, false},
      {"junk\0ICY 200 OK\r\n"s, kClientSuccessToken, false},  // behind a NUL: not received text
      {"OK\r\n", kServerSuccessToken, true},
      {"HTTP/1.0 200 OK\r\n", kServerSuccessToken, true},
      {"ERROR - Bad Password\r\n", kServerSuccessToken, false},
      {"SOURCETABLE 200 OK\r\nServer: x\r\n", kSourceTableSuccessToken, true},
      {"STR;A;B\r\nENDSOURCETABLE\r\n", kSourceTableEndToken, true},
      {"STR;A;B\r\nENDSOURCETABL", kSourceTableEndToken, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplyContains(c.received, c.token), c.accepted) << c.received;
}

TEST(DescribeCasterReply, QuotesTheFirstLineCutAndSafeOrNamesTheSourceTable) {
  const struct {
    std::string reply;
    std::string said;
  } cases[] = {
      {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\n",
       "The caster replied \"HTTP/1.1 401 Unauthorized\"."},
      {"\r\nERROR - Bad Password\r\n", "The caster replied \"ERROR - Bad Password\"."},
      {"SOURCETABLE 200 OK\r\nSTR;A;\r\nENDSOURCETABLE\r\n",
       "The caster answered with its source table: the mount point does not exist there."},
      {"\x1b[2J\0boom"s, "The caster replied \"?[2J?boom\"."},
      {std::string(100, 'x'), "The caster replied \"" + std::string(80, 'x') + "...\"."},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeCasterReply(c.reply), c.said) << c.reply;
}

// A login's first line that was not accepted: the three cases with a name, the rest quoted.
TEST(DescribeRefusedReply, NamesVersionTwoCastersRefusedCredentialsAndTheSourceTable) {
  const std::string version2 = "The caster speaks NTRIP version 2 only: it replied ";
  const std::string refused = "The caster refused the user name or password: it replied ";
  const struct {
    std::string line;
    std::string said;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n", version2 + "\"HTTP/1.1 200 OK\" to this version 1 login."},
      {"HTTP/1.1 401 Unauthorized\r\n", refused + "\"HTTP/1.1 401 Unauthorized\"."},
      {"HTTP/1.0 401\r\n", refused + "\"HTTP/1.0 401\"."},
      {"SOURCETABLE 200 OK\r\n",
       "The caster answered with its source table: the mount point does not exist there."},
      {"HTTP/1.1 404 Not Found\r\n", "The caster replied \"HTTP/1.1 404 Not Found\"."},
      {"HTTP/2 200\r\n", "The caster replied \"HTTP/2 200\"."},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeRefusedReply(c.line), c.said) << c.line;
}

// A caster's header is hostile: only a whole number that fits is a length.
TEST(ContentLength, ReadsOnlyAWholeNumberThatFits) {
  const struct {
    std::string headers;
    std::optional<std::size_t> length;
  } cases[] = {
      {"Server: x\r\nContent-Length: 1234\r\n", 1234},
      {"CONTENT-LENGTH:\t56 ", 56},
      {"Content-Length: -5", std::nullopt},
      {"Content-Length: 12abc", std::nullopt},
      {"Content-Length: ", std::nullopt},
      {"Content-Length: 99999999999999999999999", std::nullopt},
      {"X-Content-Length: 5\r\nServer: Content-Length: 7", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ContentLength(c.headers), c.length) << c.headers;
}

}  // namespace
}  // namespace quillon
