#include "ntrip/receiver_position.h"

#include <gtest/gtest.h>

#include <string>

#include "ntrip/nmea_test_sentences.h"

namespace quillon {
namespace {

using namespace testing::nmea;

// The latest fix wins wherever the blocks are cut; a sentence without a fix, another kind, a
// broken one and binary bytes leave it alone.
TEST(ReceiverPosition, KeepsTheLatestFixWhereverTheBlocksAreCut) {
  const std::string upstream = kSirfGga + "\xD3\x00\x13$GP" + kStationGga + kNoFixGga + kUbloxRmc +
                               "$GPGGA,1,0030.0,S,00030.0,E,1,8,1,0,M,0,M,,*00\r\n" + kGsv;
  for (std::size_t cut = 0; cut <= upstream.size(); ++cut) {
    ReceiverPosition receiver;
    receiver.Take(std::string_view(upstream).substr(0, cut));
    receiver.Take(std::string_view(upstream).substr(cut));
    ASSERT_TRUE(receiver.Latest()) << cut;
    EXPECT_NEAR(receiver.Latest()->latitude, 33.0 + 42.6618 / 60, 1e-9) << cut;
  }
  ReceiverPosition none;
  none.Take(kNoFixGga + std::string(300, 'x') + "\n");
  EXPECT_FALSE(none.Latest());
}

}  // namespace
}  // namespace quillon
