#include "ntrip/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

std::string Encode(const std::string& bytes, Base64Lines lines = Base64Lines::kBreakEvery76) {
  return Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), lines);
}

const std::string kPangram57 = "Pack my box with five dozen liquor jugs, said the rover.!";
const std::string kLine76 =
    "UGFjayBteSBib3ggd2l0aCBmaXZlIGRvemVuIGxpcXVvciBqdWdzLCBzYWlkIHRoZSByb3Zlci4h";

// Expected texts from the coreutils tool: printf '...' | base64 -w 76, with its line feeds
// written as CR LF and its final line feed kept only behind a full 76-character line.
TEST(Base64Encode, MatchesTheBase64Tool) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"\x80", "gA=="},      // high byte alone in the remainder
      {"\xff\xfe", "//4="},  // two high bytes in the remainder
      {std::string("\xfb\xff\xbf\x80\x00\x7f\xfe", 7), "+/+/gAB//g=="},
      {kPangram57, kLine76 + "\r\n"},            // a full last line still breaks
      {kPangram57 + "?", kLine76 + "\r\nPw=="},  // the remainder never breaks
      {kPangram57 + kPangram57, kLine76 + "\r\n" + kLine76 + "\r\n"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Encode(input), expected) << input.size();
}

}  // namespace
}  // namespace quillon
