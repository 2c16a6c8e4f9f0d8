#include "ntrip/chunked_body.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

using namespace std::string_literals;

// The body fed in two reads cut at `cut`.
struct Decoded {
  std::string payload;
  std::size_t taken = 0;
  bool done = false;
};

Decoded DecodeCutAt(std::string_view body, std::size_t cut) {
  ChunkedBody decoder;
  Decoded out;
  out.taken = decoder.Feed(body.substr(0, cut), out.payload);
  if (out.taken == cut) out.taken += decoder.Feed(body.substr(cut), out.payload);
  out.done = decoder.Done();
  return out;
}

// The example body of Wikipedia's "Chunked transfer encoding" page, and the same with upper-case
// sizes, extensions and trailers.
TEST(ChunkedBody, DecodesKnownBodiesWhereverTheReadsAreCut) {
  const std::string wikipedia = "Wikipedia in\r\n\r\nchunks.";
  const struct {
    std::string body;
    std::string payload;
  } cases[] = {
      {"4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\n\r\n", wikipedia},
      {"4 ;a=1\r\nWiki\r\n5;b\r\npedia\r\ne\t;c=\"x\"\r\n in\r\n\r\nchunks.\r\n"
       "000\r\nExpires: never\r\nX: y\r\n\r\n",
       wikipedia},
      {"0\r\n\r\n", ""},
      {"00001\r\n\0\r\n0\r\n\r\n"s, "\0"s},
      {"0000000A\r\n0123456789\r\n0\r\n\r\n", "0123456789"},  // the most digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const std::string followed = c.body + "HTTP/1.1 200 OK\r\n";  // not the body's any more
    for (std::size_t cut = 0; cut <= followed.size(); ++cut) {
      const Decoded decoded = DecodeCutAt(followed, cut);
      ASSERT_EQ(decoded.payload, c.payload) << "cut at " << cut;
      ASSERT_TRUE(decoded.done);
      ASSERT_EQ(decoded.taken, c.body.size());
    }
    ChunkedBody decoder;
    std::string payload;
    for (const char byte : c.body) decoder.Feed(std::string_view(&byte, 1), payload);
    EXPECT_EQ(payload, c.payload);
    EXPECT_TRUE(decoder.Done());
  }
}

TEST(ChunkedBody, RefusesEachMalformationWithItsReason) {
  const std::string size = "The caster sent a malformed chunk size: ";
  const std::string longLine = "1;" + std::string(kMaxChunkLineBytes, 'x');
  const struct {
    std::string body;
    std::string fault;
    std::string payload;
  } cases[] = {
      {"zz\r\n", size + "\"zz\" is no hexadecimal number.", ""},
      {"4\r\nWiki\r\n\r\n", size + "\"\" is no hexadecimal number.", "Wiki"},
      {"0x10\r\n", size + "\"0x10\" is no hexadecimal number.", ""},
      {" 4\r\nWiki", size + "\" 4\" is no hexadecimal number.", ""},
      {"\x1b[2J\r\n", size + "\"?[2J\" is no hexadecimal number.", ""},
      {"000000001\r\n", size + "\"000000001\" has more than 8 digits.", ""},
      {"100001\r\n", size + "\"100001\" is 1048577 bytes; a chunk may take at most 1048576.", ""},
      {longLine, size + "it is longer than 1024 bytes.", ""},
      {"4\nWiki\r\n", size + "\"4\" does not end with CR LF.", ""},
      {"4\rWiki\r\n", size + "\"4\" does not end with CR LF.", ""},
      {"4\r\nWikipedia\r\n", "The caster's chunk did not end with CR LF after its data.", "Wiki"},
      {"0\r\nX: y\n\r\n",
       "The caster sent a malformed trailer line: \"X: y\" does not end with CR LF.", ""},
      {"0\r\n" + std::string(kMaxTrailerBytes + 1, 'x'),
       "The caster sent a trailer section longer than 8192 bytes.", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 40));
    for (const std::size_t cut : {std::size_t{1}, c.body.size() / 2, c.body.size()}) {
      ChunkedBody decoder;
      std::string payload;
      decoder.Feed(std::string_view(c.body).substr(0, cut), payload);
      decoder.Feed(std::string_view(c.body).substr(cut), payload);
      EXPECT_TRUE(decoder.Failed());
      EXPECT_FALSE(decoder.Done());
      EXPECT_EQ(decoder.Fault(), c.fault);
      EXPECT_EQ(payload, c.payload);
      // Nothing more is taken once it has failed.
      EXPECT_EQ(decoder.Feed("4\r\nmore\r\n", payload), 0u);
    }
  }
}

TEST(ChunkedBody, TakesAChunkOfTheLimitAndFramesWhatItIsGiven) {
  const std::string big(kMaxChunkSize, 'r');
  EXPECT_EQ(DecodeCutAt("100000\r\n" + big + "\r\n0\r\n\r\n", 5).payload, big);
  EXPECT_EQ(ChunkFrame("Wikipedia in\r\n\r\nchunks."), "17\r\nWikipedia in\r\n\r\nchunks.\r\n");
  EXPECT_EQ(ChunkFrame(""), "");
  EXPECT_EQ(ChunkFrame(big).substr(0, 8), "100000\r\n");
}

}  // namespace
}  // namespace quillon
