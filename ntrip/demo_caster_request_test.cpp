#include "ntrip/demo_caster_request.h"

#include <gtest/gtest.h>

#include "ntrip/base64.h"
#include "ntrip/source_table_text.h"

namespace quillon::caster_internal {
namespace {

// Encodings from `echo -n '...' | base64`.
TEST(DecodeBase64, DecodesWhatTheBase64ToolEncodes) {
  const struct {
    const char* encoded;
    std::string decoded;
  } cases[] = {
      {"", ""},
      {"YQ==", "a"},
      {"YWI=", "ab"},
      {"YWJj", "abc"},
      {"Og==", ":"},
      {"ZGVtbzpkZW1v", "demo:demo"},
      {"dXNlciBuYW1lOnBAc3Mgd8O2cmQ=", "user name:p@ss w\xC3\xB6rd"},
      {"//6A", "\xFF\xFE\x80"},
  };
  for (const auto& c : cases) {
    const auto decoded = DecodeBase64(c.encoded);
    ASSERT_TRUE(decoded.has_value()) << c.encoded;
    EXPECT_EQ(*decoded, c.decoded) << c.encoded;
  }
}

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

TEST(SourceTableText, RecordsLookLikeARealCastersRecords) {
  EXPECT_EQ(MakeStrRecord("MNT"),
            "STR;MNT;Identifier;RTCM 3.2;1004(1),1006(10);2;GPS+GLO;NET;DEU;52.52;13.40;1;0;"
            "sNTRIP;none;B;N;9600;");
  StrFields fields;
  fields.identifier = "Berlin";
  fields.format = "RTCM 2.3";
  EXPECT_TRUE(MakeStrRecord("B1", fields).starts_with("STR;B1;Berlin;RTCM 2.3;"));

  // One STR line per name, in order, every line ended by CR LF.
  const std::string table = MakeSourceTable({"A", "B"});
  EXPECT_TRUE(table.starts_with("CAS;"));
  const auto a = table.find("\r\nSTR;A;");
  const auto b = table.find("\r\nSTR;B;");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_TRUE(table.ends_with(";\r\n"));
  EXPECT_EQ(MakeSourceTable({}).find("STR;"), std::string::npos);
}

}  // namespace
}  // namespace quillon::caster_internal
