#include "common/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "common/utf8.h"

namespace quillon {
namespace {

// The helpers speak UTF-8 (the converter's own test below has the encodings) up to a NUL, each
// thread in a buffer of its own.
TEST(TextConversion, ConvertsUtf8UpToTheFirstNulInEachThreadsOwnBuffer) {
  const char16_t* mine = EightBitToWide("M\xC3\xBCller");
  std::thread other([] { EXPECT_EQ(std::u16string(EightBitToWide("worker")), u"worker"); });
  other.join();
  EXPECT_EQ(std::u16string(mine), u"M\u00FCller");
  EXPECT_STREQ(WideToEightBit(u"M\u00FCller"), "M\xC3\xBCller");
  EXPECT_EQ(std::u16string(EightBitToWide(std::string_view("ab\0cd", 5))), u"ab");
  EXPECT_STREQ(WideToEightBit(std::u16string_view(u"ab\0cd", 5)), "ab");
}

// Encodings from python3: 'päss'.encode() and the like.
TEST(Utf8, EncodesEveryLengthAndMarksWhatIsNoCharacter) {
  const std::pair<std::u16string_view, std::string_view> both[] = {
      {u"p\u00E4ss", "p\xC3\xA4ss"},
      {u"\u007F\u0080\u07FF\u0800", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
      {u"\uFFFF\U00010000\U0010FFFF", "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
  };
  for (const auto& [wide, eight] : both) {
    EXPECT_EQ(ToUtf8(wide), eight);
    EXPECT_EQ(Utf8Size(wide), eight.size());
    EXPECT_EQ(FromUtf8(eight), wide);
    EXPECT_TRUE(IsValidUtf8(eight));
  }
  // One '?' for each byte that belongs to no character.
  const std::pair<std::string_view, std::u16string_view> invalid[] = {
      {"\xC0\xAF", u"??"},           {"\xE0\x80\xAF", u"???"}, {"\xED\xA0\x80", u"???"},
      {"\xF4\x90\x80\x80", u"????"}, {"a\xE2\x82", u"a??"},    {"\x80z", u"?z"},
  };
  for (const auto& [eight, wide] : invalid) {
    EXPECT_EQ(FromUtf8(eight), wide);
    EXPECT_FALSE(IsValidUtf8(eight));
  }
  const char16_t lone[] = {0xDC00, u'a', 0xD800, 0};
  EXPECT_EQ(ToUtf8(lone), "?a?");
}

// 511 two-byte characters fill 1022 bytes, a 512th would need 1024 with the terminator.
TEST(TextConversion, BuffersHoldTheirCapacityAndNeverSplitACharacter) {
  EXPECT_EQ(std::u16string(EightBitToWide(std::string(5000, 'x'))), std::u16string(1023, u'x'));
  EXPECT_EQ(std::string(WideToEightBit(std::u16string(5000, u'x'))), std::string(1023, 'x'));
  const std::string eight = WideToEightBit(std::u16string(600, u'ü'));
  EXPECT_EQ(eight.size(), 1022u);
  EXPECT_EQ(eight.substr(1020), "\xC3\xBC");
  std::string pairAtTheEnd(1022, 'x');
  pairAtTheEnd += "\xF0\x9F\x93\xA1";
  EXPECT_EQ(std::u16string(EightBitToWide(pairAtTheEnd)), std::u16string(1022, u'x'));
  // A caller's buffer is cut to its capacity.
  char buffer[6];
  EXPECT_EQ(WideToEightBit(u"abcdefgh", buffer, sizeof buffer), 5u);
  EXPECT_STREQ(buffer, "abcde");
  // "aü" needs 3 bytes; with room for 2 before the terminator the 'ü' is left out whole.
  char small[3];
  EXPECT_EQ(WideToEightBit(u"aüb", small, sizeof small), 1u);
  EXPECT_STREQ(small, "a");
  EXPECT_EQ(WideToEightBit(u"abc", small, 0), 0u);

  // A lone surrogate's '?' has no room in a full buffer: nothing is written past it.
  for (const std::size_t capacity : {1u, 2u, 8u}) {
    std::u16string text(capacity - 1, u'a');
    text += char16_t{0xD800};
    std::string storage(capacity + 1, '#');
    EXPECT_EQ(WideToEightBit(text, storage.data(), capacity), capacity - 1);
    EXPECT_EQ(storage, std::string(capacity - 1, 'a') + '\0' + '#') << capacity;
  }
}

}  // namespace
}  // namespace quillon
