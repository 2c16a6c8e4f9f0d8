// What follows "ICY 200 OK\r\n": header lines go, the stream reaches the receiver whole.
#include "ntrip/reply_header_filter.h"

#include <gtest/gtest.h>

#include <string>

#include "rtcm/test_frames.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using testframes::Bytes;

TEST(ReplyHeaderFilter, TheReceiverGetsExactlyThePayloadWhereverTheReadsAreCut) {
  const std::string rtcm3 = Bytes(testframes::kGeonet1005) + Bytes(testframes::kGeonet1033) +
                            Bytes(testframes::kGeonet1008);
  // RTCM 2 in its 6-of-8 form: bytes 0x40..0x7F, so letters and '^', '_', '`', '|', '~'.
  const std::string rtcm2 = "fGYzPAm@kt`_dQ^|W~sB{E]L\x7FoiR[h}", letters = "fGYzPAmkt`_dQ^|W~";
  const std::string nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  const std::string headers = "Server: NTRIP BKG Caster 2.0.45/2.0\r\nContent-Type: gnss/data\r\n";
  const struct {
    std::string received, payload;
    bool heldAtEnd;  // the last bytes could still begin a header line: only Flush sends them
  } cases[] = {
      {rtcm3, rtcm3, false},
      {rtcm2, rtcm2, false},
      {letters, letters, true},
      {nmea, nmea, false},
      {"\x02\x00\x93\x31\x04"s, "\x02\x00\x93\x31\x04"s, false},  // CMR
      {"\r\n" + rtcm3, rtcm3, false},
      {headers + "\r\n" + rtcm2, rtcm2, false},
      {"Server: x\nX-Info:\t\xC3\xA9t\xC3\xA9\n\n" + nmea, nmea, false},  // LF alone, 8-bit text
      {"Ntrip-Version: Ntrip/1.0\r\n" + rtcm3, rtcm3, false},             // no empty line
      {"Server: x\r\n y\r\n\t z\r\n\r\n" + nmea, nmea, false},                // folded lines
      {headers + "\r\n", "", false},
      {"\r\nServer: x\r\n", "Server: x\r\n", false},  // behind the empty line: the stream
      {"Server\r\n" + rtcm3, "Server\r\n" + rtcm3, false},
      {": x\r\n" + nmea, ": x\r\n" + nmea, false},
      {"Key: a\x01" + rtcm3, "Key: a\x01" + rtcm3, false},
      {"\r" + rtcm3, "\r" + rtcm3, false},
      {"Key: v\r\r\n", "Key: v\r\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (std::size_t cut = 0; cut <= c.received.size(); ++cut) {
      ReplyHeaderFilter filter;
      std::string got(filter.Pass(std::string_view(c.received).substr(0, cut)));
      got += filter.Pass(std::string_view(c.received).substr(cut));
      EXPECT_EQ(filter.Holding(), c.heldAtEnd) << "cut at " << cut;
      got += filter.Flush();
      ASSERT_EQ(got, c.payload) << "cut at " << cut;
    }
    ReplyHeaderFilter filter;
    std::string got;
    for (const char byte : c.received) got += filter.Pass(std::string_view(&byte, 1));
    EXPECT_EQ(got + std::string(filter.Flush()), c.payload);
  }
}

TEST(ReplyHeaderFilter, NoMoreThanTheLimitIsEverHeldBack) {
  const std::string line = "X: " + std::string(kMaxHeaderSectionSize, 'a');
  ReplyHeaderFilter filter;
  EXPECT_EQ(filter.Pass(std::string_view(line).substr(0, kMaxHeaderSectionSize)), "");
  EXPECT_EQ(filter.Pass(std::string_view(line).substr(kMaxHeaderSectionSize)), line);
  const std::string header = "Ntrip-Version: Ntrip/1.0\r\n";
  std::string many;
  while (many.size() <= kMaxHeaderSectionSize) many += header;
  ReplyHeaderFilter lines;
  const std::string_view got = lines.Pass(many);
  // The whole lines within the limit go; the line cut by it is the stream.
  EXPECT_EQ(many.size() - got.size(), kMaxHeaderSectionSize / header.size() * header.size());
  EXPECT_TRUE(many.ends_with(got));
}

}  // namespace
}  // namespace quillon
