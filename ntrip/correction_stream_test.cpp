#include "ntrip/correction_stream.h"

#include <gtest/gtest.h>

#include <set>

namespace quillon {
namespace {

// CRC-24/LTE-A of the CRC catalogue has the same polynomial, initial value and no reflection.
TEST(CorrectionStream, FramesAreWellFormedAndTheByteStreamIsTheFramesCutAnywhere) {
  EXPECT_EQ(Crc24q("123456789"), 0xCDE703u);
  CorrectionStream frames(3);
  std::string whole;
  std::set<unsigned> messages;
  for (int i = 0; i < 60; ++i) {
    const std::string frame = frames.NextFrame();
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(frame.at(at)); };
    EXPECT_EQ(byte(0), 0xD3u);
    EXPECT_EQ(byte(1) & 0xFC, 0u) << "reserved bits";
    EXPECT_EQ(frame.size(), 3 + (((byte(1) & 0x03u) << 8) | byte(2)) + 3);
    EXPECT_EQ(Crc24q(frame), 0u);  // a frame followed by its own CRC checks to zero
    messages.insert((byte(3) << 4) | (byte(4) >> 4));
    whole += frame;
  }
  EXPECT_EQ(messages, (std::set<unsigned>{1004, 1005, 1012, 1033, 1077, 1087}));

  CorrectionStream bytes(3);
  std::string pieces;
  for (const std::size_t n : {1u, 2u, 500u, 0u, 37u, 1000u}) pieces += bytes.Next(n);
  EXPECT_EQ(pieces, whole.substr(0, 1540));
}

}  // namespace
}  // namespace quillon
