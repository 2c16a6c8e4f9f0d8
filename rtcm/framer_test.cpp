#include "rtcm/framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtcm/crc24q.h"
#include "rtcm/test_frames.h"

namespace quillon {
namespace {

using testframes::Bytes;
using testframes::PayloadOf;

// What the framer reported, in order: payloads, and the non-frame bytes joined up.
struct Found final : RtcmFrameSink {
  std::vector<std::string> payloads;
  std::string nonFrame;
  void OnFrame(std::string_view payload) override { payloads.emplace_back(payload); }
  void OnNonFrameBytes(std::string_view bytes) override { nonFrame += bytes; }
};

Found Framed(std::initializer_list<std::string_view> blocks, RtcmFramer& framer) {
  Found found;
  for (const std::string_view block : blocks) framer.Push(block, found);
  return found;
}

Found Framed(std::initializer_list<std::string_view> blocks) {
  RtcmFramer framer;
  return Framed(blocks, framer);
}

const std::string kPosition = Bytes(testframes::kGeonet1005);
const std::string kDescriptors = Bytes(testframes::kGeonet1033);
const std::string kEmptyFrame = RtcmFrame("");
const std::string kFalseHeader("\xD3\x00\x05", 3);  // a sound header, no frame behind it
const std::string kNmea = "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n";

std::string Corrupted(const std::string& frame, std::size_t at) {
  std::string corrupted = frame;
  corrupted[at] = static_cast<char>(corrupted[at] ^ 0x10);
  return corrupted;
}

TEST(RtcmFramer, FindsTheFramesAndWhatLiesBetween) {
  const std::string longFalse("\xD3\x03\xFF", 3);  // claims 1023 bytes: a real frame lies inside
  const std::string reservedSet("\xD3\xFC\x00", 3);
  // Six bytes that would check as an empty frame if frames could begin without a preamble.
  std::string lookalike = RtcmFrame("");
  lookalike[0] = 'A';
  const std::uint32_t crc = Crc24q(lookalike.substr(0, 3));
  lookalike.replace(
      3, 3, {static_cast<char>(crc >> 16), static_cast<char>(crc >> 8), static_cast<char>(crc)});
  const std::string filler = lookalike + std::string(1023 - kPosition.size() - 6, 'x');
  const std::string position = PayloadOf(kPosition), descriptors = PayloadOf(kDescriptors);
  const std::string damaged = Corrupted(kDescriptors, 20);
  const std::string badCrc = Corrupted(kPosition, kPosition.size() - 1);
  const struct {
    std::string name;
    std::string stream;
    std::vector<std::string> payloads;
    std::string nonFrame;
    std::uint64_t crcFailures;
  } cases[] = {
      {"frames back to back",
       kPosition + kDescriptors + kEmptyFrame,
       {position, descriptors, ""},
       "",
       0},
      {"text around frames", kNmea + kPosition + kNmea, {position}, kNmea + kNmea, 0},
      {"a false header just before a frame", kFalseHeader + kPosition, {position}, kFalseHeader, 1},
      {"reserved bits set: no frame, no CRC failure",
       reservedSet + kPosition,
       {position},
       reservedSet,
       0},
      {"a frame inside a false one is found again",
       longFalse + kPosition + filler + kDescriptors,
       {position, descriptors},
       longFalse + filler,
       1},
      {"a damaged frame, then a whole one", damaged + kPosition, {position}, damaged, 1},
      {"a damaged CRC", badCrc + kEmptyFrame, {""}, badCrc, 1},
      {"a lone preamble before a damaged frame",
       kNmea + "\xD3" + Corrupted(kPosition, 9) + kPosition + "tail",
       {position},
       kNmea + "\xD3" + Corrupted(kPosition, 9) + "tail",
       1},
  };
  for (const auto& c : cases) {
    RtcmFramer framer;
    const Found found = Framed({c.stream}, framer);
    EXPECT_EQ(found.payloads, c.payloads) << c.name;
    EXPECT_EQ(found.nonFrame, c.nonFrame) << c.name;
    EXPECT_EQ(framer.CrcFailures(), c.crcFailures) << c.name;
    EXPECT_EQ(framer.Frames(), c.payloads.size()) << c.name;
    EXPECT_EQ(framer.NonFrameBytes(), c.nonFrame.size()) << c.name;
    EXPECT_EQ(framer.Held(), 0u) << c.name;
    // The same wherever the stream is cut, and read a byte at a time.
    const std::string_view text = c.stream;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      const Found split = Framed({text.substr(0, cut), text.substr(cut)});
      ASSERT_TRUE(split.payloads == c.payloads && split.nonFrame == c.nonFrame)
          << c.name << " cut at " << cut;
    }
    RtcmFramer byteByByte;
    Found bytes;
    for (const char byte : text) byteByByte.Push(std::string_view(&byte, 1), bytes);
    EXPECT_TRUE(bytes.payloads == c.payloads && bytes.nonFrame == c.nonFrame) << c.name;
  }
}

// Floods of false preambles: every byte is framed, passed on or held.
TEST(RtcmFramer, HoldsAtMostOneFrameWhateverComes) {
  std::string random;
  std::uint32_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    random.push_back(static_cast<char>(state));
  }
  std::string longClaims;
  for (int i = 0; i < 3000; ++i) longClaims += "\xD3\x03\xFF";
  std::string preambles(5000, '\xD3');
  std::string headersInRandom = random;
  for (std::size_t i = 0; i + 1 < headersInRandom.size(); i += 7) {
    headersInRandom[i] = '\xD3';
    headersInRandom[i + 1] = static_cast<char>(headersInRandom[i + 1] & 0x03);
  }
  for (const std::string& stream : {random, longClaims, preambles, headersInRandom}) {
    RtcmFramer framer;
    Found found;
    for (std::size_t at = 0; at < stream.size(); at += 251) {
      framer.Push(std::string_view(stream).substr(at, 251), found);
      EXPECT_LE(framer.Held(), kRtcmMaxFrame);
    }
    EXPECT_EQ(framer.FrameBytes() + framer.NonFrameBytes() + framer.Held(), stream.size());
    EXPECT_EQ(found.nonFrame.size(), framer.NonFrameBytes());
  }
}

}  // namespace
}  // namespace quillon
