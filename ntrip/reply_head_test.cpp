// Version 2 reply heads as casters send them, and the bodies they frame.
#include "ntrip/reply_head.h"

#include <gtest/gtest.h>

#include <string>

#include "ntrip/reply_body.h"

namespace quillon {
namespace {

using Framing = ReplyBody::Framing;

// The first is shaped as the NTRIP 2.0 standard's example answer to a client; names and values in
// any case, LF alone, and parameters behind the media type are read the same.
TEST(ParseReplyHead, ReadsStatusCodingLengthAndTypeOnceTheEmptyLineHasCome) {
  const struct {
    std::string reply;
    int status;
    bool chunked;
    std::string otherCoding;
    std::optional<std::size_t> length;
    std::string type;
    std::size_t size;
    Framing framing;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nServer: NTRIP ExampleCaster/2.0\r\n"
       "Date: Tue, 01 Jan 2008 14:08:15 GMT\r\nCache-Control: no-store, no-cache, max-age=0\r\n"
       "Pragma: no-cache\r\nConnection: close\r\nContent-Type: gnss/data\r\n"
       "Transfer-Encoding: chunked\r\n\r\n\xd3\x00",
       200, true, "", std::nullopt, "gnss/data", 251, Framing::kChunked},
      {"HTTP/1.1 200 OK\ntransfer-encoding: CHUNKED\ncontent-length: 12\n\nrest", 200, true, "", 12,
       "", 63, Framing::kChunked},
      {"HTTP/1.0 200 OK\r\nCONTENT-TYPE: Gnss/SourceTable; charset=utf-8\r\nContent-Length: 7\r\n"
       "\r\n",
       200, false, "", 7, "gnss/sourcetable", 85, Framing::kLength},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", 200, false, "gzip, chunked",
       std::nullopt, "", 53, Framing::kUntilClose},
      {"HTTP/1.1 404 Not Found\r\n\r\n", 404, false, "", std::nullopt, "", 26,
       Framing::kUntilClose},
      {"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\n", 200, false, "", std::nullopt, "", 41,
       Framing::kUntilClose},
      // Folded lines are read as the value they continue.
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n chunked\r\nContent-Type:\r\n\tgnss/data\r\n\r\n",
       200, true, "", std::nullopt, "gnss/data", 76, Framing::kChunked},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    const std::optional<ReplyHead> head = ParseReplyHead(c.reply);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, c.status);
    EXPECT_EQ(head->chunked, c.chunked);
    EXPECT_EQ(head->otherCoding, c.otherCoding);
    EXPECT_EQ(head->contentLength, c.length);
    EXPECT_EQ(head->contentType, c.type);
    EXPECT_EQ(head->size, c.size);
    EXPECT_EQ(ReplyBody::For(*head).framing(), c.framing);
    // Without its empty line it is no head yet.
    EXPECT_FALSE(ParseReplyHead(c.reply.substr(0, head->size - 1)));
  }
}

// Each framing ends where it says, and only the close-framed ones end at the close.
TEST(ReplyBody, EachFramingTakesItsPayloadAndEndsWhereItSays) {
  const struct {
    ReplyBody body;
    std::string bytes;
    std::string payload;
    bool done;
    bool endsAtClose;
  } cases[] = {
      {ReplyBody::UntilClose(), "abc\r\n", "abc\r\n", false, true},
      {ReplyBody::Length(3), "abcdef", "abc", true, true},
      {ReplyBody::Length(9), "abcdef", "abcdef", false, false},
      {ReplyBody::Chunked(), "3\r\nabc\r\n0\r\n\r\ndef", "abc", true, true},
      {ReplyBody::Chunked(), "3\r\nabc\r\n", "abc", false, false},
      {ReplyBody::IcyStream(), "Server: x\r\n\r\n\xd3\x00", "\xd3\x00", false, true},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string payload;
    for (const char byte : c.bytes) c.body.Feed(std::string_view(&byte, 1), payload);
    EXPECT_EQ(payload, c.payload);
    EXPECT_EQ(c.body.Done(), c.done);
    EXPECT_EQ(c.body.EndsAtClose(), c.endsAtClose);
    EXPECT_FALSE(c.body.Failed());
  }
  // A version 1 stream's bytes that may still be a header line go out when nothing more comes.
  ReplyBody icy = ReplyBody::IcyStream();
  std::string payload;
  icy.Feed("fGYz", payload);
  EXPECT_EQ(payload, "");
  icy.Flush(payload);
  EXPECT_EQ(payload, "fGYz");
}

}  // namespace
}  // namespace quillon
