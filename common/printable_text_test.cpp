#include "common/printable_text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// The other invalid forms are the UTF-8 decoder's, tested with it.
TEST(PrintableText, ReplacesEveryControlCharacterAndInvalidByteAndKeepsTheRest) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"plain STR;MP01 (caster)", "plain STR;MP01 (caster)"},
      {"Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x9B\xB0",
       "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x9B\xB0"},
      {"\x1B[2J\x1B]0;title\x07", "?[2J?]0;title?"},         // C0: ESC, BEL
      {"a\r\nb\tc\0d\x7F"sv, "a??b?c?d?"},                   // NUL and DEL too
      {"\302\23331m", "?31m"},                               // C1 CSI as UTF-8
      {"\23331m", "?31m"},                                   // C1 CSI as a raw byte
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace quillon
