#include "common/text.h"

#include <iconv.h>
#include <langinfo.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace quillon {
namespace {

constexpr const char* kWideCharset = "UTF-16LE";

// One converter per thread and direction, reopened when the locale's character set changes.
class Converter {
 public:
  Converter(bool toWide) : toWide_(toWide) {}
  ~Converter() { Reset(); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  iconv_t Get() {
    const char* codeset = nl_langinfo(CODESET);
    if (handle_ == invalid() || codeset_ != codeset) {
      Reset();
      codeset_ = codeset;
      handle_ = toWide_ ? iconv_open(kWideCharset, codeset) : iconv_open(codeset, kWideCharset);
    }
    if (handle_ != invalid()) iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    return handle_;
  }

 private:
  static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
  void Reset() {
    if (handle_ != invalid()) iconv_close(handle_);
    handle_ = invalid();
  }
  bool toWide_;
  iconv_t handle_ = invalid();
  std::string codeset_;
};

thread_local Converter toWideConverter(true);
thread_local Converter toEightBitConverter(false);
thread_local std::array<char16_t, kConversionBufferSize> wideBuffer;
thread_local std::array<char, kConversionBufferSize> eightBitBuffer;

std::string_view UpToNul(std::string_view text) {
  const auto nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::u16string_view UpToNul(std::u16string_view text) {
  const auto nul = text.find(u'\0');
  return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

const char16_t* EightBitToWide(std::string_view text) {
  text = UpToNul(text);
  char16_t* out = wideBuffer.data();
  std::size_t written = 0;
  const std::size_t limit = wideBuffer.size() - 1;
  iconv_t cd = toWideConverter.Get();

  std::size_t position = 0;
  while (position < text.size() && written < limit) {
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      // No converter for this locale: take ASCII as it is.
      const auto byte = static_cast<unsigned char>(text[position++]);
      out[written++] = byte < 0x80 ? byte : u'?';
      continue;
    }
    char* in = const_cast<char*>(text.data() + position);
    std::size_t inLeft = text.size() - position;
    // iconv writes whole characters only, so a cut never splits a surrogate pair.
    char* dst = reinterpret_cast<char*>(out + written);
    std::size_t room = (limit - written) * sizeof(char16_t);
    const std::size_t before = room;
    const std::size_t result = iconv(cd, &in, &inLeft, &dst, &room);
    written += (before - room) / sizeof(char16_t);
    position = text.size() - inLeft;
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) break;
    // Invalid or incomplete sequence: one '?' for the offending byte, then go on.
    if (written < limit) out[written++] = u'?';
    ++position;
  }
  out[written] = u'\0';
  return out;
}

std::size_t WideToEightBit(std::u16string_view text, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  text = UpToNul(text);
  const std::size_t limit = capacity - 1;
  std::size_t written = 0;
  iconv_t cd = toEightBitConverter.Get();

  std::size_t position = 0;
  while (position < text.size() && written < limit) {
    const char16_t unit = text[position];
    const bool pair = IsHighSurrogate(unit) && position + 1 < text.size() &&
                      IsLowSurrogate(text[position + 1]);
    const std::size_t units = pair ? 2 : 1;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      out[written++] = unit < 0x80 ? static_cast<char>(unit) : '?';
      position += units;
      continue;
    }
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data() + position));
    std::size_t inLeft = (text.size() - position) * sizeof(char16_t);
    char* dst = out + written;
    std::size_t room = limit - written;
    const std::size_t before = room;
    const std::size_t result = iconv(cd, &in, &inLeft, &dst, &room);
    written += before - room;
    position = text.size() - inLeft / sizeof(char16_t);
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) break;
    // A lone surrogate or a character the locale cannot represent. iconv may have filled the
    // buffer up to the limit already: then its '?' has no room either.
    if (written >= limit) break;
    const char16_t bad = text[position];
    const bool badPair = IsHighSurrogate(bad) && position + 1 < text.size() &&
                         IsLowSurrogate(text[position + 1]);
    out[written++] = '?';
    position += badPair ? 2 : 1;
    cd = toEightBitConverter.Get();
  }
  out[written] = '\0';  // written <= limit = capacity - 1
  return written;
}

const char* WideToEightBit(std::u16string_view text) {
  WideToEightBit(text, eightBitBuffer.data(), eightBitBuffer.size());
  return eightBitBuffer.data();
}

}  // namespace quillon
