// Every decoder of what follows a status line gives the same bytes however the reads are cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ntrip/chunked_body.h"
#include "ntrip/reply_body.h"
#include "ntrip/reply_head.h"
#include "ntrip/reply_header_filter.h"
#include "rtcm/test_frames.h"

namespace quillon {
namespace {

using namespace std::string_literals;

// Two reads cut at every place (about a hundred in long inputs), and one read per byte.
std::vector<std::vector<std::string_view>> EveryCut(std::string_view bytes) {
  std::vector<std::vector<std::string_view>> ways;
  const std::size_t step = std::max<std::size_t>(1, bytes.size() / 100);
  for (std::size_t cut = 0; cut <= bytes.size(); cut += step) {
    ways.push_back({bytes.substr(0, cut), bytes.substr(cut)});
  }
  ways.emplace_back();
  for (std::size_t at = 0; at < bytes.size(); ++at) ways.back().push_back(bytes.substr(at, 1));
  return ways;
}

std::string How(const std::vector<std::string_view>& reads) {
  return reads.size() == 2 ? "cut at " + std::to_string(reads[0].size()) : "byte by byte";
}

// What a head says, in one line: "200 chunked length 12 gnss/data", an other coding quoted.
std::string Summary(const ReplyHead& head) {
  std::string said = std::to_string(head.status);
  if (head.chunked) said += " chunked";
  if (!head.otherCoding.empty()) said += " \"" + head.otherCoding + "\"";
  if (head.contentLength) said += " length " + std::to_string(*head.contentLength);
  if (!head.contentType.empty()) said += " " + head.contentType;
  return said;
}

// The first is the NTRIP 2.0 standard's example answer; chunked wins over Content-Length.
TEST(ParseReplyHead, ReadsStatusCodingLengthAndTypeAndItsBodyEndsWhereTheyFrameIt) {
  enum End { kOpen, kDone, kAtClose };  // the body still open, ended, or ended by the close
  const struct {
    std::string head, body, said, payload;
    End end;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nServer: NTRIP ExampleCaster/2.0\r\n"
       "Date: Tue, 01 Jan 2008 14:08:15 GMT\r\nCache-Control: no-store, no-cache, max-age=0\r\n"
       "Pragma: no-cache\r\nConnection: close\r\nContent-Type: gnss/data\r\n"
       "Transfer-Encoding: chunked\r\n\r\n",
       "3\r\nabc\r\n0\r\n\r\ndef", "200 chunked gnss/data", "abc", kDone},
      {"HTTP/1.1 200 OK\ntransfer-encoding: CHUNKED\nCONTENT-LENGTH:\t12 \n\n", "3\r\nabc\r\n",
       "200 chunked length 12", "abc", kOpen},
      {"HTTP/1.0 200 OK\r\nCONTENT-TYPE: Gnss/SourceTable; charset=utf-8\r\nContent-Length: 3\r\n"
       "\r\n",
       "abcdef", "200 length 3 gnss/sourcetable", "abc", kDone},
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n", "abcdef", "404 length 9", "abcdef",
       kOpen},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", "abc\r\n",
       "200 \"gzip, chunked\"", "abc\r\n", kAtClose},
      {"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\n", "", "200", "", kAtClose},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", "", "200", "",
       kAtClose},
      {"HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\nServer: Content-Length: 7\r\n\r\n", "", "200", "",
       kAtClose},
      // Folded lines are read as the value they continue.
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n chunked\r\nContent-Type:\r\n\tgnss/data\r\n\r\n",
       "0\r\n\r\n", "200 chunked gnss/data", "", kDone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.head);
    const std::string reply = c.head + c.body;
    const std::optional<ReplyHead> head = ParseReplyHead(reply);
    ASSERT_TRUE(head);
    EXPECT_EQ(Summary(*head), c.said);
    EXPECT_EQ(head->size, c.head.size());
    EXPECT_FALSE(ParseReplyHead(reply.substr(0, head->size - 1)));  // no empty line yet
    for (const auto& reads : EveryCut(c.body)) {
      ReplyBody body = ReplyBody::For(*head);
      std::string payload;
      for (const std::string_view read : reads) body.Feed(read, payload);
      ASSERT_EQ(payload, c.payload) << How(reads);
      EXPECT_TRUE(body.Done() == (c.end == kDone) && body.EndsAtClose() == (c.end != kOpen));
      EXPECT_FALSE(body.Failed());
    }
  }
}

TEST(ReplyHeaderFilter, TheReceiverGetsExactlyThePayloadWhereverTheReadsAreCut) {
  const std::string rtcm3 = testframes::Bytes(testframes::kGeonet1005) +
                            testframes::Bytes(testframes::kGeonet1033) +
                            testframes::Bytes(testframes::kGeonet1008);
  // RTCM 2 in its 6-of-8 form: bytes 0x40..0x7F, so letters and '^', '_', '`', '|', '~'.
  const std::string rtcm2 = "fGYzPAm@kt`_dQ^|W~sB{E]L\x7FoiR[h}", letters = "fGYzPAmkt`_dQ^|W~";
  const std::string nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  const std::string headers = "Server: NTRIP BKG Caster 2.0.45/2.0\r\nContent-Type: gnss/data\r\n";
  // No more than the limit is held back: the line it cuts is the stream.
  const std::string longLine = "X: " + std::string(kMaxHeaderSectionSize, 'a');
  const std::string header = "Ntrip-Version: Ntrip/1.0\r\n";
  std::string many;
  while (many.size() <= kMaxHeaderSectionSize) many += header;
  const struct {
    std::string received, payload;
    bool heldAtEnd;  // the last bytes could still begin a header line: only Flush sends them
  } cases[] = {
      {rtcm3, rtcm3, false},
      {rtcm2, rtcm2, false},
      {letters, letters, true},
      {nmea, nmea, false},
      {"\r\n" + rtcm3, rtcm3, false},
      {headers + "\r\n" + rtcm2, rtcm2, false},
      {"Server: x\nX-Info:\t\xC3\xA9t\xC3\xA9\n\n" + nmea, nmea, false},  // LF alone, 8-bit text
      {"Ntrip-Version: Ntrip/1.0\r\n" + rtcm3, rtcm3, false},             // no empty line
      {"Server: x\r\n y\r\n\t z\r\n\r\n" + nmea, nmea, false},            // folded lines
      {headers + "\r\n", "", false},
      {"\r\nServer: x\r\n", "Server: x\r\n", false},  // behind the empty line: the stream
      {"Server\r\n" + rtcm3, "Server\r\n" + rtcm3, false},
      {": x\r\n" + nmea, ": x\r\n" + nmea, false},
      {"Key: a\x01" + rtcm3, "Key: a\x01" + rtcm3, false},
      {"\r" + rtcm3, "\r" + rtcm3, false},
      {"Key: v\r\r\n", "Key: v\r\r\n", false},
      {longLine, longLine, false},
      {many, many.substr(kMaxHeaderSectionSize / header.size() * header.size()), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (const auto& reads : EveryCut(c.received)) {
      ReplyHeaderFilter filter;
      std::string payload;
      for (const std::string_view read : reads) payload += filter.Pass(read);
      EXPECT_EQ(filter.Holding(), c.heldAtEnd);
      ASSERT_EQ(payload + std::string(filter.Flush()), c.payload) << How(reads);
    }
  }
}

// Wikipedia's example, also with extensions and trailers; a fault keeps the payload before it.
TEST(ChunkedBody, DecodesWhereverTheReadsAreCutAndRefusesEachMalformationWithItsReason) {
  const std::string wikipedia = "Wikipedia in\r\n\r\nchunks.";
  const std::string size = "The caster sent a malformed chunk size: ";
  const struct {
    std::string body, payload, fault = "";  // no fault: the body ends
  } cases[] = {
      {"4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\n\r\n", wikipedia},
      {"4 ;a=1\r\nWiki\r\n5;b\r\npedia\r\ne\t;c=\"x\"\r\n in\r\n\r\nchunks.\r\n"
       "000\r\nExpires: never\r\nX: y\r\n\r\n",
       wikipedia},
      {"0\r\n\r\n", ""},
      {"00001\r\n\0\r\n0\r\n\r\n"s, "\0"s},
      {"0000000A\r\n0123456789\r\n0\r\n\r\n", "0123456789"},  // the most digits
      {"zz\r\n", "", size + "\"zz\" is no hexadecimal number."},
      {"4\r\nWiki\r\n\r\n", "Wiki", size + "\"\" is no hexadecimal number."},
      {"0x10\r\n", "", size + "\"0x10\" is no hexadecimal number."},
      {" 4\r\nWiki", "", size + "\" 4\" is no hexadecimal number."},
      {"\x1b[2J\r\n", "", size + "\"?[2J\" is no hexadecimal number."},
      {"000000001\r\n", "", size + "\"000000001\" has more than 8 digits."},
      {"100001\r\n", "", size + "\"100001\" is 1048577 bytes; a chunk may take at most 1048576."},
      {"1;" + std::string(kMaxChunkLineBytes, 'x'), "", size + "it is longer than 1024 bytes."},
      {"4\nWiki\r\n", "", size + "\"4\" does not end with CR LF."},
      {"4\rWiki\r\n", "", size + "\"4\" does not end with CR LF."},
      {"4\r\nWikipedia\r\n", "Wiki", "The caster's chunk did not end with CR LF after its data."},
      {"0\r\nX: y\n\r\n", "",
       "The caster sent a malformed trailer line: \"X: y\" does not end with CR LF."},
      {"0\r\n" + std::string(kMaxTrailerBytes + 1, 'x'), "",
       "The caster sent a trailer section longer than 8192 bytes."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 40));
    const std::string followed = c.body + "HTTP/1.1 200 OK\r\n";
    for (const auto& reads : EveryCut(followed)) {
      ChunkedBody decoder;
      std::string payload;
      std::size_t taken = 0;
      for (const std::string_view read : reads) taken += decoder.Feed(read, payload);
      ASSERT_EQ(payload, c.payload) << How(reads);
      EXPECT_TRUE(decoder.Done() == c.fault.empty() && decoder.Failed() == !c.fault.empty());
      EXPECT_EQ(decoder.Fault(), c.fault);
      EXPECT_TRUE(!c.fault.empty() || taken == c.body.size());
      EXPECT_EQ(decoder.Feed("4\r\nmore\r\n", payload), 0u);  // nothing more is taken
    }
  }
  // A chunk of the limit is taken; ChunkFrame frames what it is given.
  const std::string big(kMaxChunkSize, 'r');
  ChunkedBody decoder;
  std::string payload;
  decoder.Feed("100000\r\n" + big + "\r\n0\r\n\r\n", payload);
  EXPECT_TRUE(payload == big && decoder.Done());
  EXPECT_EQ(ChunkFrame("Wikipedia in\r\n\r\nchunks."), "17\r\nWikipedia in\r\n\r\nchunks.\r\n");
  EXPECT_EQ(ChunkFrame(""), "");
  EXPECT_EQ(ChunkFrame(big).substr(0, 8), "100000\r\n");
}

}  // namespace
}  // namespace quillon
