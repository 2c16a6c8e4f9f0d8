#include "serve/caster_request.h"

#include <gtest/gtest.h>

#include "serve/listener_content_double.h"

namespace quillon {
namespace {

constexpr char kNtrip1[] = "User-Agent: NTRIP RTKLIB/2.4.3\r\n\r\n";
constexpr char kNtrip2[] = "Ntrip-Version: Ntrip/2.0\r\nUser-Agent: NTRIP x\r\n\r\n";
constexpr char kBrowser[] = "Host: base\r\nUser-Agent: Mozilla/5.0\r\n\r\n";
constexpr char kTable1[] = "SOURCETABLE 200 OK\r\n";
constexpr char kTable2[] = "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\n";
// "u:p" and "u:q"
constexpr char kRight[] = "Authorization: Basic dTpw\r\n";
constexpr char kWrong[] = "Authorization: Basic dTpx\r\n";

struct Row {
  std::string head;
  bool users = false;
  bool full = false;
  std::string_view begins;
  std::string_view holds;  // somewhere in the reply; "" for nothing more
  bool stream = false;
  bool chunked = false;
};

class AnswerRequestTest : public ::testing::TestWithParam<Row> {};

TEST_P(AnswerRequestTest, AnswersInTheRequestsVersion) {
  const Row& row = GetParam();
  testing::ListenerContentDouble content;
  CasterRules rules{"M", {}};
  if (row.users) rules.basicTokens = {BasicToken("v", "w"), BasicToken("u", "p")};
  const CasterAnswer answer = AnswerRequest(row.head, rules, content, row.full);
  EXPECT_TRUE(answer.reply.starts_with(row.begins)) << answer.reply;
  EXPECT_NE(answer.reply.find(row.holds), std::string::npos) << answer.reply;
  EXPECT_EQ(answer.stream, row.stream);
  EXPECT_EQ(answer.chunked, row.chunked);
}

const std::string kGetM1 = std::string("GET /M HTTP/1.0\r\n");
const std::string kGetM2 = std::string("GET /M HTTP/1.1\r\n");

INSTANTIATE_TEST_SUITE_P(
    Heads, AnswerRequestTest,
    ::testing::Values(
        Row{kGetM1 + kNtrip1, false, false, "ICY 200 OK\r\n", "", true, false},
        Row{"GET /M HTTP/1.1\n" + std::string(kNtrip2), false, false, kTable2,
            "Content-Type: gnss/data\r\nCache-Control: no-store\r\nTransfer-Encoding: chunked\r\n",
            true, true},
        Row{std::string("GET / HTTP/1.0\r\n") + kNtrip1, false, false, kTable1,
            "\r\n\r\nSTR;M;M;RTCM 3.x;\r\nENDSOURCETABLE\r\n"},
        Row{std::string("GET / HTTP/1.1\r\n") + kNtrip2, false, false, kTable2,
            "Content-Type: gnss/sourcetable\r\nContent-Length: 35\r\n"},
        Row{"GET /?x HTTP/1.1\r\n" + std::string(kBrowser), false, false, "HTTP/1.0 200 OK\r\n",
            "text/html; charset=utf-8\r\nContent-Length: 17\r\nConnection: close\r\n\r\n<html>"},
        Row{"GET / HTTP/1.1\r\nNtrip-Version: Ntrip/2.0\r\n" + std::string(kBrowser), false, false,
            kTable2, "ENDSOURCETABLE"},
        Row{"GET / HTTP/1.1\r\n\r\n", false, false, "HTTP/1.0 200 OK\r\n", "<html>"},
        Row{"GET /status.json HTTP/1.1\r\n" + std::string(kNtrip2), false, false, kTable2,
            "application/json"},
        Row{"GET /metrics HTTP/1.1\r\n" + std::string(kNtrip1), false, false, "HTTP/1.0 200",
            "# TYPE"},
        Row{std::string("GET /OTHER HTTP/1.0\r\n") + kNtrip1, false, false, kTable1, "ENDSOURCE"},
        Row{std::string("GET /OTHER HTTP/1.1\r\n") + kNtrip2, false, false,
            "HTTP/1.1 404 Not Found\r\n", ""},
        Row{kGetM1 + kNtrip1, true, false, "HTTP/1.0 401 Unauthorized\r\n",
            "WWW-Authenticate: Basic realm=\"M\"\r\n"},
        Row{kGetM2 + kWrong + kNtrip2, true, false, "HTTP/1.1 401 Unauthorized\r\n", ""},
        Row{kGetM1 + kRight + kNtrip1, true, false, "ICY 200 OK\r\n", "", true, false},
        Row{kGetM2 + "authorization:  basic dTpw \r\n" + kNtrip2, true, false, kTable2, "", true,
            true},
        Row{kGetM1 + kNtrip1, false, true, "HTTP/1.0 503 Service Unavailable\r\n", ""},
        Row{kGetM2 + kNtrip2, false, true, "HTTP/1.1 503 Service Unavailable\r\n", ""},
        Row{"SOURCE pw /M\r\nSource-Agent: NTRIP x\r\n\r\n", false, false, "HTTP/1.0 400", ""},
        Row{"POST /M HTTP/1.1\r\n" + std::string(kNtrip2), false, false, "HTTP/1.1 405", ""},
        Row{"\x16\x03\x01junk\r\n\r\n", false, false, "HTTP/1.0 400 Bad Request\r\n", ""}));

TEST(RequestHeadLengthTest, EndsAtTheFirstEmptyLine) {
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.0\r\n\r\nGGA"), 18u);
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.0\nA: b\n\nGGA"), 21u);
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.0\r\nA: b\r\n"), std::nullopt);
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.0\r\n\r"), std::nullopt);
}

}  // namespace
}  // namespace quillon
