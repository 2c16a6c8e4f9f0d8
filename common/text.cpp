#include "common/text.h"

#include <algorithm>
#include <array>
#include <string>

#include "common/utf8.h"

namespace quillon {
namespace {

thread_local std::array<char16_t, kConversionBufferSize> wideBuffer;
thread_local std::array<char, kConversionBufferSize> eightBitBuffer;

template <typename Char>
std::basic_string_view<Char> UpToNul(std::basic_string_view<Char> text) {
  return text.substr(0, std::min(text.find(Char{}), text.size()));
}

}  // namespace

const char16_t* EightBitToWide(std::string_view text) {
  // A character takes at most 3 bytes per unit: these bytes fill the buffer, and a sequence cut
  // at their end lies past what the buffer keeps.
  const std::u16string wide = FromUtf8(UpToNul(text).substr(0, 3 * wideBuffer.size() + 3));
  std::u16string_view cut(wide);
  if (cut.size() >= wideBuffer.size()) {
    cut = cut.substr(0, wideBuffer.size() - 1);
    // A pair whose second half is left out goes whole.
    if (!cut.empty() && cut.back() >= 0xD800 && cut.back() <= 0xDBFF) cut.remove_suffix(1);
  }
  std::copy(cut.begin(), cut.end(), wideBuffer.begin());
  wideBuffer[cut.size()] = u'\0';
  return wideBuffer.data();
}

std::size_t WideToEightBit(std::u16string_view text, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  const std::string eight = ToUtf8(CutToUtf8Size(UpToNul(text), capacity - 1));
  std::copy(eight.begin(), eight.end(), out);
  out[eight.size()] = '\0';  // at most capacity - 1 bytes before it
  return eight.size();
}

const char* WideToEightBit(std::u16string_view text) {
  WideToEightBit(text, eightBitBuffer.data(), eightBitBuffer.size());
  return eightBitBuffer.data();
}

}  // namespace quillon
