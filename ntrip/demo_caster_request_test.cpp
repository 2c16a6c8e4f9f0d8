#include "ntrip/demo_caster_request.h"

#include <gtest/gtest.h>

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

TEST(DecodeBase64, RefusesMalformedText) {
  for (const char* bad : {"Y", "YQ=", "YQ=a", "Y===", "=QQQ", "YQ==YQ==", "ZGVt bzpk", "ZGV*",
                          "ZGVtbzpkZW1v\r\n"}) {
    EXPECT_FALSE(DecodeBase64(bad).has_value()) << bad;
  }
}

TEST(ParseRequest, ReadsClientRequestsWithTheirCredentials) {
  const auto client = ParseRequest(
      "GET /DEMO HTTP/1.0\r\nUser-Agent: NTRIP Test/1.0\r\nAuthorization: Basic "
      "ZGVtbzpkZW1v\r\n\r\n");
  EXPECT_EQ(client.line, RequestLine::kGet);
  EXPECT_EQ(client.mountPoint, "DEMO");
  ASSERT_TRUE(client.credentials.has_value());
  EXPECT_EQ(*client.credentials, "demo:demo");

  // A mount point given with its own slash keeps it; no header means no credentials.
  const auto slashed = ParseRequest("GET //DEMO HTTP/1.0\r\n\r\n");
  EXPECT_EQ(slashed.mountPoint, "/DEMO");
  EXPECT_FALSE(slashed.credentials.has_value());

  const auto table = ParseRequest("GET /SOURCETABLE HTTP/1.0\r\n\r\n");
  EXPECT_EQ(table.mountPoint, "SOURCETABLE");
  const auto fallback = ParseRequest(
      "GET / HTTP/1.1\r\nUser-Agent: NTRIP quillon/1.0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(fallback.line, RequestLine::kGet);
  EXPECT_EQ(fallback.mountPoint, "");

  // Broken Base64 is no credentials at all, not an empty pair.
  EXPECT_FALSE(ParseRequest("GET /DEMO HTTP/1.0\r\nAuthorization: Basic ZG*\r\n\r\n")
                   .credentials.has_value());
}

TEST(ParseRequest, ReadsServerRequests) {
  const auto server =
      ParseRequest("SOURCE s3cret /BASE1\r\nSource-Agent: NTRIP NtripServerZEP/0.9\r\n\r\n");
  EXPECT_EQ(server.line, RequestLine::kSource);
  EXPECT_EQ(server.password, "s3cret");
  EXPECT_EQ(server.mountPoint, "BASE1");

  const auto blanks = ParseRequest("SOURCE my pass /x /BASE1\r\n\r\n");
  EXPECT_EQ(blanks.password, "my pass /x");
  EXPECT_EQ(blanks.mountPoint, "BASE1");

  const auto empty = ParseRequest("SOURCE  /BASE1\r\n\r\n");
  EXPECT_EQ(empty.line, RequestLine::kSource);
  EXPECT_EQ(empty.password, "");
}

TEST(ParseRequest, OtherTextIsUnknown) {
  for (const char* text : {"", "\r\n\r\n", "POST /DEMO HTTP/1.0\r\n\r\n", "GET DEMO HTTP/1.0\r\n\r\n",
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

  const auto names = NumberedMountPoints(300);
  ASSERT_EQ(names.size(), 300u);
  EXPECT_EQ(names.front(), "MP000");
  EXPECT_EQ(names.back(), "MP299");

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
