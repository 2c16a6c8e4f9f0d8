#include "ntrip/demo_caster_request.h"

#include <gtest/gtest.h>

#include "ntrip/base64.h"

namespace quillon::caster_internal {
namespace {

// The encoder is checked against the base64 tool; a round trip over lengths 1 to 300, every
// byte value among them, shows that the decoder undoes it.
TEST(DecodeBase64, UndoesTheProgramsEncoder) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) {
    bytes += static_cast<char>((i * 37) & 0xFF);
    const auto decoded =
        DecodeBase64(Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                  Base64Lines::kSingleLine));
    ASSERT_TRUE(decoded.has_value()) << i;
    EXPECT_EQ(*decoded, bytes) << i;
  }
}

TEST(DecodeBase64, RefusesMalformedText) {
  for (const char* bad :
       {"Y", "YQ=", "YQ=a", "Y===", "=QQQ", "YQ==YQ==", "ZGVt bzpk", "ZGV*", "ZGVtbzpkZW1v\r\n"}) {
    EXPECT_FALSE(DecodeBase64(bad).has_value()) << bad;
  }
}

// The caster tests cover the common requests over a socket; these are the cases they do not.
TEST(ParseRequest, ReadsTheUnusualCases) {
  // The password ends at the last " /": it may hold blanks and slashes, or be empty.
  const auto blanks = ParseRequest("SOURCE my pass /x /BASE1\r\n\r\n");
  EXPECT_EQ(blanks.line, RequestLine::kSource);
  EXPECT_EQ(blanks.password, "my pass /x");
  EXPECT_EQ(blanks.mountPoint, "BASE1");
  EXPECT_EQ(ParseRequest("SOURCE  /BASE1\r\n\r\n").password, "");

  // Header names are not case-sensitive; a broken Base64 value is no credentials at all.
  const auto lower = ParseRequest("GET /M HTTP/1.0\r\nauthorization: basic ZGVtbzpkZW1v\r\n\r\n");
  ASSERT_TRUE(lower.credentials.has_value());
  EXPECT_EQ(*lower.credentials, "demo:demo");
  EXPECT_FALSE(
      ParseRequest("GET /M HTTP/1.0\r\nAuthorization: Basic ZG*\r\n\r\n").credentials.has_value());

  for (const char* text :
       {"", "\r\n\r\n", "POST /DEMO HTTP/1.0\r\n\r\n", "GET DEMO HTTP/1.0\r\n\r\n",
        "GET /DEMO\r\n\r\n", "SOURCE nopath\r\n\r\n", "get /DEMO HTTP/1.0\r\n\r\n"}) {
    EXPECT_EQ(ParseRequest(text).line, RequestLine::kUnknown) << text;
  }
}

}  // namespace
}  // namespace quillon::caster_internal
