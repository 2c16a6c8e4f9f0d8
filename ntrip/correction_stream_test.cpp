#include "ntrip/correction_stream.h"

#include <gtest/gtest.h>

#include <set>

namespace quillon {
namespace {

unsigned Byte(const std::string& text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

TEST(Crc24q, MatchesTheCatalogueCheckValue) {
  // CRC-24/LTE-A in the CRC catalogue is the same polynomial, initial value and no reflection.
  EXPECT_EQ(Crc24q("123456789"), 0xCDE703u);
  EXPECT_EQ(Crc24q(""), 0u);
}

TEST(CorrectionStream, FramesAreWellFormed) {
  CorrectionStream stream(7);
  std::set<unsigned> messages;
  for (int i = 0; i < 60; ++i) {
    const std::string frame = stream.NextFrame();
    ASSERT_GE(frame.size(), 6u);
    EXPECT_EQ(Byte(frame, 0), 0xD3u);
    const unsigned length = ((Byte(frame, 1) & 0x03) << 8) | Byte(frame, 2);
    EXPECT_EQ(Byte(frame, 1) & 0xFC, 0u) << "reserved bits";
    ASSERT_EQ(frame.size(), 3 + length + 3);
    // A frame followed by its own CRC checks to zero.
    EXPECT_EQ(Crc24q(frame), 0u);
    messages.insert((Byte(frame, 3) << 4) | (Byte(frame, 4) >> 4));
  }
  EXPECT_EQ(messages, (std::set<unsigned>{1004, 1005, 1012, 1033, 1077, 1087}));
}

TEST(CorrectionStream, ByteStreamIsTheFramesCutAnywhere) {
  CorrectionStream frames(3);
  std::string whole;
  for (int i = 0; i < 100; ++i) whole += frames.NextFrame();

  CorrectionStream bytes(3);
  std::string pieces;
  for (std::size_t n : {1u, 2u, 500u, 0u, 37u, 1000u}) {
    const std::string piece = bytes.Next(n);
    EXPECT_EQ(piece.size(), n);
    pieces += piece;
  }
  ASSERT_LE(pieces.size(), whole.size());
  EXPECT_EQ(pieces, whole.substr(0, pieces.size()));

  // Another seed, another stream; seed 0 still produces data.
  EXPECT_NE(CorrectionStream(4).Next(200), CorrectionStream(3).Next(200));
  EXPECT_NE(CorrectionStream(0).Next(200), std::string(200, '\0'));
}

}  // namespace
}  // namespace quillon
