#include "ntrip/login_verdict.h"

#include <gtest/gtest.h>

#include <string>

#include "ntrip/reply.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using Framing = ReplyBody::Framing;

// A login that ended with `received`, its first line found as LogInToCaster finds it.
CasterLogin Login(std::string received, LoginEnd end = LoginEnd::kReplied) {
  CasterLogin login;
  login.end = end;
  login.received = std::move(received);
  login.FindFirstLine();
  return login;
}

const std::string kDataHead =
    "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/data\r\n";

struct Case {
  CasterLogin login;
  NtripVersion version;
  LoginRole role;
  bool accepted;
  std::string said;  // accepted: the first payload; refused: the detail
  Framing framing = Framing::kUntilClose;
};

// Version 1 goes by the token in the first line; version 2 by a whole head.
TEST(JudgeLoginReply, EachVersionJudgesItsWayAndFramesTheStream) {
  using enum NtripVersion;
  using enum LoginRole;
  const std::string full = "HTTP/1.1 200 OK\r\nServer: " + std::string(kLoginReplyLimit, 'x');
  const Case cases[] = {
      {Login("ICY 200 OK\r\nServer: x\r\n\r\n\xd3\x00\x13"s), k1, kClient, true, "\xd3\x00\x13"s,
       Framing::kIcyStream},
      {Login("\r\nICY 200 OK\r\n"), k1, kClient, true, "", Framing::kIcyStream},
      // The token is exact, its CR LF included; nothing behind a NUL was received text.
      {Login("ICY 200 OK"), k1, kClient, false, "The caster replied \"ICY 200 OK\"."},
      {Login("icy 200 ok\r\n"), k1, kClient, false, "The caster replied \"icy 200 ok\"."},
      {Login("junk\0ICY 200 OK\r\n"s), k1, kClient, false,
       "The caster replied \"junk?ICY 200 OK\"."},
      {Login(kDataHead + "\r\n"), k1, kClient, false,
       "The caster speaks NTRIP version 2 only: it replied \"HTTP/1.1 200 OK\" to this version 1 "
       "login."},
      {Login("SOURCETABLE 200 OK\r\nSTR;A;"), k1, kClient, false,
       "The caster answered with its source table: the mount point does not exist there."},
      // Only "HTTP/1.x" and a code that ends make a status; the line is quoted cut and safe.
      {Login("HTTP/1.0 401\r\n"), k1, kClient, false,
       "The caster refused the user name or password: it replied \"HTTP/1.0 401\"."},
      {Login("HTTP/2 200\r\n"), k1, kClient, false, "The caster replied \"HTTP/2 200\"."},
      {Login("\x1b[2J\0boom"s), k1, kClient, false, "The caster replied \"?[2J?boom\"."},
      {Login(std::string(100, 'x')), k1, kClient, false,
       "The caster replied \"" + std::string(80, 'x') + "...\"."},
      {Login("OK\r\n"), k1, kServer, true, ""},
      // Interim replies come before the answer (RFC 9110), and an unfinished one is no answer.
      {Login("HTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 103 Hints\r\n\r\nICY 200 OK\r\n\xd3"s),
       k1, kClient, true, "\xd3"s, Framing::kIcyStream},
      {Login("HTTP/1.1 100 Continue\r\n", LoginEnd::kClosed), k1, kServer, false,
       "The caster replied \"HTTP/1.1 100 Continue\"."},
      // A caster that takes no upload to the mount point may answer with its table.
      {Login("SOURCETABLE 200 OK\r\nSTR;A;"), k1, kServer, false,
       "The caster answered with its source table: the mount point does not exist there."},
      {Login("HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n\r\nSTR;A;"), k2, kServer, false,
       "The caster answered with its source table: the mount point does not exist there."},
      {Login("ICY 200 OK\r\n"), k1, kServer, true, ""},
      {Login("ERROR - Bad Password\r\n"), k1, kServer, false,
       "The caster replied \"ERROR - Bad Password\"."},
      // No request was sent (no authentication): every byte is the stream.
      {Login("", LoginEnd::kConnected), k2, kClient, true, "", Framing::kUntilClose},
      {Login(kDataHead + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nab"), k2, kClient,
       true, "helloab", Framing::kChunked},
      {Login(kDataHead + "\r\n\xd3\x00\x13"s), k2, kClient, true, "\xd3\x00\x13"s},
      // A version 1 caster's answer to the version 2 request.
      {Login("ICY 200 OK\r\nServer: x\r\n\r\nfGYz\r\n"), k2, kClient, true, "fGYz\r\n",
       Framing::kIcyStream},
      {Login("HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n\r\nSTR;A;"), k2, kClient, false,
       "The caster answered with its source table: the mount point does not exist there."},
      {Login("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<html>"), k2,
       kClient, false, "The caster answered with a page (\"text/html\"), not a data stream."},
      {Login(kDataHead + "Transfer-Encoding: gzip\r\n\r\n"), k2, kClient, false,
       "The caster sent its reply in a transfer coding this program does not read: \"gzip\"."},
      {Login("HTTP/1.1 401 Unauthorized\r\n\r\n"), k2, kClient, false,
       "The caster refused the user name or password: it replied \"HTTP/1.1 401 Unauthorized\"."},
      {Login("HTTP/1.1 404 Not Found\r\n\r\n"), k2, kClient, false,
       "The caster does not know the mount point: it replied \"HTTP/1.1 404 Not Found\"."},
      {Login("HTTP/1.1 503 Service Unavailable\r\n\r\n"), k2, kClient, false,
       "The caster replied \"HTTP/1.1 503 Service Unavailable\"."},
      {Login(full.substr(0, kLoginReplyLimit)), k2, kClient, false,
       "The caster's reply headers did not end within 2000 bytes."},
      {Login(kDataHead, LoginEnd::kClosed), k2, kClient, false,
       "The caster closed the connection inside its reply headers."},
      {Login(kDataHead, LoginEnd::kSilent), k2, kClient, false,
       "The caster's reply headers did not end within 6 seconds."},
      {Login("HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\n\r\n"), k2, kServer, true, ""},
      {Login("HTTP/1.1 204 No Content\r\n\r\n"), k2, kServer, true, ""},
      {Login("ICY 200 OK\r\n"), k2, kServer, false, "The caster replied \"ICY 200 OK\"."},
      {Login("HTTP/1.1 409 Conflict\r\n\r\n"), k2, kServer, false,
       "The caster replied \"HTTP/1.1 409 Conflict\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.login.received);
    const LoginVerdict verdict = JudgeLoginReply(c.login, c.version, c.role);
    EXPECT_EQ(verdict.accepted, c.accepted);
    EXPECT_EQ(c.accepted ? verdict.payload : verdict.detail, c.said);
    if (c.accepted) {
      EXPECT_EQ(verdict.body.framing(), c.framing);
    }
  }
  // A source table's store is described whole: the empty lines before its first line are skipped.
  EXPECT_EQ(DescribeCasterReply("\r\nERROR - Bad Password\r\n"),
            "The caster replied \"ERROR - Bad Password\".");
}

}  // namespace
}  // namespace quillon
