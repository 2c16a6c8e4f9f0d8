// What follows "ICY 200 OK\r\n": header lines go, the stream reaches the receiver whole, however
// the bytes are cut into reads.
#include "ntrip/reply_header_filter.h"

#include <gtest/gtest.h>

#include <string>

#include "ntrip/correction_stream.h"

namespace quillon {
namespace {

using namespace std::string_literals;

struct Stream {
  const char* name;
  std::string received;  // what follows the status line
  std::string payload;   // what the receiver must get
  bool heldAtEnd;        // the last bytes could still begin a header line: only Flush sends them
};

std::vector<Stream> Streams() {
  const std::string rtcm3 = CorrectionStream(7).Next(300);
  // RTCM 2 in its 6-of-8 form: every byte 0x40..0x7F, so letters and '^', '_', '`', '|', '~'.
  const std::string rtcm2 = "fGYzPAm@kt`_dQ^|W~sB{E]L\x7FoiR[h}";
  const std::string lettersOnly = "fGYzPAmkt`_dQ^|W~sB";
  const std::string nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  const std::string cmr = "\x02\x00\x93\x31\x04\x05\xA2\x7E\x03"s;
  const std::string headers = "Server: NTRIP BKG Caster 2.0.45/2.0\r\nContent-Type: gnss/data\r\n";
  return {
      {"RTCM 3 at once", rtcm3, rtcm3, false},
      {"RTCM 2 at once", rtcm2, rtcm2, false},
      {"RTCM 2 that is letters so far", lettersOnly, lettersOnly, true},
      {"NMEA at once", nmea, nmea, false},
      {"CMR at once", cmr, cmr, false},
      {"an empty line, then RTCM 3", "\r\n" + rtcm3, rtcm3, false},
      {"headers and the empty line, then RTCM 3", headers + "\r\n" + rtcm3, rtcm3, false},
      {"headers and the empty line, then RTCM 2", headers + "\r\n" + rtcm2, rtcm2, false},
      {"headers and the empty line, then NMEA", headers + "\r\n" + nmea, nmea, false},
      {"headers ending in LF alone", "Server: x\nContent-Type: gnss/data\n\n" + rtcm3, rtcm3,
       false},
      {"headers with tabs and 8-bit bytes", "X-Info:\t\xC3\xA9t\xC3\xA9\r\n\r\n" + rtcm3, rtcm3,
       false},
      {"headers and no empty line", "Ntrip-Version: Ntrip/1.0\r\n" + rtcm3, rtcm3, false},
      {"headers alone, nothing yet", headers + "\r\n", "", false},
      {"nothing yet", "", "", false},
      // The empty line ends the headers: what looks like one behind it is the stream.
      {"header-like text behind the empty line", "\r\nServer: x\r\n", "Server: x\r\n", false},
      {"a name without a colon", "Server\r\n" + rtcm3, "Server\r\n" + rtcm3, false},
      {"a colon without a name", ": x\r\n" + rtcm3, ": x\r\n" + rtcm3, false},
      {"a control byte in a value", "Key: a\x01b\r\n" + rtcm3, "Key: a\x01b\r\n" + rtcm3, false},
      {"a CR not followed by LF", "\r" + rtcm3, "\r" + rtcm3, false},
      {"CR CR inside a header", "Key: v\r\r\n" + rtcm3, "Key: v\r\r\n" + rtcm3, false},
  };
}

// Every case, cut into two reads at every byte boundary, then fed one byte per read.
TEST(ReplyHeaderFilter, TheReceiverGetsExactlyThePayloadWhereverTheReadsAreCut) {
  for (const Stream& s : Streams()) {
    SCOPED_TRACE(s.name);
    for (std::size_t cut = 0; cut <= s.received.size(); ++cut) {
      ReplyHeaderFilter filter;
      std::string got(filter.Pass(std::string_view(s.received).substr(0, cut)));
      got += filter.Pass(std::string_view(s.received).substr(cut));
      EXPECT_EQ(filter.Holding(), s.heldAtEnd) << "cut at " << cut;
      got += filter.Flush();
      ASSERT_EQ(got, s.payload) << "cut at " << cut;
    }
    ReplyHeaderFilter filter;
    std::string got;
    for (const char byte : s.received) got += filter.Pass(std::string_view(&byte, 1));
    got += filter.Flush();
    EXPECT_EQ(got, s.payload);
  }
}

// A hostile caster cannot make the filter hold more than the limit: the byte past it lets the
// held line go as the stream.
TEST(ReplyHeaderFilter, NoMoreThanTheLimitIsEverHeldBack) {
  const std::string line = "X: " + std::string(kMaxHeaderSectionSize, 'a');
  ReplyHeaderFilter filter;
  EXPECT_EQ(filter.Pass(std::string_view(line).substr(0, kMaxHeaderSectionSize)), "");
  EXPECT_TRUE(filter.Holding());
  EXPECT_EQ(filter.Pass(std::string_view(line).substr(kMaxHeaderSectionSize)), line);
  EXPECT_FALSE(filter.Holding());

  // Whole header lines count towards the limit too.
  const std::string header = "Ntrip-Version: Ntrip/1.0\r\n";
  std::string many;
  while (many.size() <= kMaxHeaderSectionSize) many += header;
  ReplyHeaderFilter lines;
  const std::string got(lines.Pass(many));
  EXPECT_FALSE(got.empty());
  EXPECT_EQ(many.substr(many.size() - got.size()), got);
  EXPECT_LE(many.size() - got.size(), kMaxHeaderSectionSize);
}

// Once the stream has begun, header-like lines and empty lines pass untouched.
TEST(ReplyHeaderFilter, AfterTheHeadersEverythingIsTheStream) {
  ReplyHeaderFilter filter;
  EXPECT_EQ(filter.Pass("Server: x\r\n\r\n\xD3\x00"s), "\xD3\x00"s);
  EXPECT_EQ(filter.Pass("\r\nServer: y\r\n"), "\r\nServer: y\r\n");
  EXPECT_FALSE(filter.Holding());
}

}  // namespace
}  // namespace quillon
