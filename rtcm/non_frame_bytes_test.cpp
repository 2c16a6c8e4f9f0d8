#include "rtcm/non_frame_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

// From real receivers' logs; the checksums were checked with an independent XOR.
const std::string kReceiverOutput =
    "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n"
    "$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43\r\n"
    "$GPGGA,002153.000,3342.6618,N,11751.3858,W,1,10,1.2,27.0,M,-34.2,M,,0000*5E\r\n"
    "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n";

std::string Random(std::size_t size, std::uint32_t state) {
  std::string bytes;
  while (bytes.size() < size) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    bytes.push_back(static_cast<char>(state));
  }
  return bytes;
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(NonFrameBytes, TellsSentencesFromNoise) {
  const std::string badChecksums = Repeated("$GPGGA,,,,,,0,00,99.99,,,,,,*49\r\n", 10);
  const struct {
    std::string name;
    std::string bytes;
    NonFrameKind kind;
  } cases[] = {
      {"receiver output", Repeated(kReceiverOutput, 5), NonFrameKind::kNmeaSentences},
      {"sentences among as much noise", kReceiverOutput + Random(kReceiverOutput.size(), 7),
       NonFrameKind::kNmeaSentences},
      {"random bytes (a wrong baud rate)", Random(4000, 1), NonFrameKind::kNoise},
      {"text lines without checksums", Repeated("hello, receiver\r\n", 20), NonFrameKind::kNoise},
      {"wrong checksums", badChecksums, NonFrameKind::kNoise},
      {"too few bytes", kReceiverOutput.substr(0, kMinNonFrameBytesToJudge - 1),
       NonFrameKind::kTooFewToTell},
      {"nothing", "", NonFrameKind::kTooFewToTell},
  };
  for (const auto& c : cases) {
    NonFrameBytes nonFrame;
    nonFrame.Add(c.bytes);
    EXPECT_EQ(nonFrame.Kind(), c.kind) << c.name;
    EXPECT_EQ(nonFrame.Total(), c.bytes.size()) << c.name;
  }
}

TEST(NonFrameBytes, CountsWholeSentencesOnlyWhereverTheyAreCut) {
  // Lower-case hex digits and LF alone are taken; a sentence longer than the limit (though its
  // checksum is right), one cut by a control character and one cut by the next "$" are not.
  const std::string taken =
      kReceiverOutput + "$GPGGA,,,,,,0,00,99.99,,,,,,*48\n" +
      "$GNGGA,092750.000,3530.00000,N,13945.00000,E,1,8,1.03,61.7,M,55.2,M,,*7c\r\n";
  const std::string tooLong = "$P" + std::string(kMaxNmeaSentenceLength, 'A') + "*50\r\n";
  const std::string stream =
      "\x01\xFF" + taken + "$GPGGA,\x01,*00\r\n" + tooLong + "$GPGGA,1" + taken + "*";
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    NonFrameBytes nonFrame;
    nonFrame.Add(std::string_view(stream).substr(0, cut));
    nonFrame.Add(std::string_view(stream).substr(cut));
    ASSERT_EQ(nonFrame.InSentences(), 2 * taken.size()) << cut;
  }
}

}  // namespace
}  // namespace quillon
