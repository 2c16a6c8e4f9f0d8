#include "ntrip/reply.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

using namespace std::string_literals;

// The named cases are the login verdict's; only "HTTP/1.x" and a code that ends make a status.
TEST(DescribeRefusedReply, QuotesTheFirstLineCutAndSafeAndReadsOnlyAnHttp1Status) {
  const struct {
    std::string reply;
    std::string said;
  } cases[] = {
      {"\r\nERROR - Bad Password\r\n", "The caster replied \"ERROR - Bad Password\"."},
      {"\x1b[2J\0boom"s, "The caster replied \"?[2J?boom\"."},
      {std::string(100, 'x'), "The caster replied \"" + std::string(80, 'x') + "...\"."},
      {"HTTP/1.0 401\r\n",
       "The caster refused the user name or password: it replied \"HTTP/1.0 401\"."},
      {"HTTP/2 200\r\n", "The caster replied \"HTTP/2 200\"."},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeRefusedReply(c.reply), c.said) << c.reply;
}

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
