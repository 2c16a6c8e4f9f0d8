#include "rtcm/crc24q.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

// The check value of the CRC catalogue's CRC-24/LTE-A (the same parameters as CRC-24Q),
// confirmed with a bit-by-bit CRC-24Q in Python; the framer's tests check RTKLIB's frames.
TEST(Crc24q, MatchesTheCataloguesCheckValueContinuesAndCutsOutSegments) {
  EXPECT_EQ(Crc24q("123456789"), 0xCDE703u);
  EXPECT_EQ(Crc24q(""), 0u);
  // A message as long as the longest frame, of bytes that are not all alike.
  std::string message;
  for (std::size_t i = 0; i < kCrc24qMaxSegment + 20; ++i) {
    message.push_back(static_cast<char>(i * 37 + (i >> 3)));
  }
  const std::string_view text = message;
  const std::vector<std::pair<std::size_t, std::size_t>> cuts = {
      {0, 0},     {0, 1},  {5, 6}, {3, 40}, {0, kCrc24qMaxSegment}, {19, 19 + kCrc24qMaxSegment},
      {100, 101}, {7, 900}};
  for (const auto& [begin, end] : cuts) {
    const std::uint32_t before = Crc24q(text.substr(0, begin));
    const std::uint32_t through = Crc24q(text.substr(begin, end - begin), before);
    EXPECT_EQ(through, Crc24q(text.substr(0, end))) << begin << ".." << end;
    EXPECT_EQ(Crc24qOfSegment(before, through, end - begin),
              Crc24q(text.substr(begin, end - begin)))
        << begin << ".." << end;
  }
}

}  // namespace
}  // namespace quillon
